#include "conversion/lector.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <locale.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>

namespace tesmalo {

void Fallar(const QString& mensaje) {
    throw std::runtime_error(mensaje.toStdString());
}

QString Razon_del_sistema(int error) {
    const QString de_qt = qt_error_string(error);
    if (de_qt != QString::fromLocal8Bit(::strerror(error))) return de_qt;  // Qt la tradujo
    // Los textos en español de la biblioteca de C, en UTF-8, si la configuración está instalada.
    static const locale_t espanol = [] {
        for (const char* nombre : {"es_ES.UTF-8", "es_ES.utf8", "es_MX.UTF-8", "es_AR.UTF-8"})
            if (const locale_t l = ::newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, nombre, nullptr))
                return l;
        return locale_t{};
    }();
    return espanol != locale_t{} ? QString::fromUtf8(::strerror_l(error, espanol)) : de_qt;
}

void Comprobar_nombre_legible(const QString& ruta, const QString& que) {
    if (!ruta.contains(QChar::ReplacementCharacter)) return;
    const auto ilegible = [&] {
        Fallar(QStringLiteral("No se puede usar el %1 «%2»: su nombre, o el de una de sus "
                              "carpetas, no es texto válido en la codificación del sistema, y "
                              "con él se abriría otro fichero o ninguno. Cámbielo de nombre.")
                   .arg(que, ruta));
    };
    QString carpeta = ruta.startsWith('/') ? QStringLiteral("/") : QStringLiteral(".");
    for (const QString& tramo : ruta.split('/', Qt::SkipEmptyParts)) {
        if (tramo.contains(QChar::ReplacementCharacter)) {
            const QByteArray bytes = QFile::encodeName(tramo);
            DIR* d = ::opendir(QFile::encodeName(carpeta).constData());
            if (d == nullptr) ilegible();
            bool igual_con_otros_bytes = false;
            while (const dirent* e = ::readdir(d)) {
                const QByteArray nombre(e->d_name);
                if (nombre != bytes && QFile::decodeName(nombre) == tramo)
                    igual_con_otros_bytes = true;
            }
            ::closedir(d);
            if (igual_con_otros_bytes) ilegible();
        }
        carpeta += (carpeta.endsWith('/') ? QString() : QStringLiteral("/")) + tramo;
    }
}

QString Citar(std::string_view texto, qsizetype largo) {
    // Los bytes se leen en la codificación del sistema, como el resto del fichero.
    const std::string_view principio = texto.substr(0, static_cast<std::size_t>(largo) * 4);
    const QString decodificado =
        QString::fromLocal8Bit(principio.data(), static_cast<qsizetype>(principio.size()));
    QString cita;
    for (const QChar c : decodificado) {
        if (cita.size() >= largo) {
            cita += QStringLiteral("…");
            break;
        }
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            cita += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            cita += c;
    }
    return cita;
}

bool Mismo_fichero(const struct stat& a, const struct stat& b) {
    if (a.st_ino != b.st_ino) return false;
    return a.st_dev == b.st_dev ||
           (a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
            a.st_mtim.tv_nsec == b.st_mtim.tv_nsec);
}

namespace {

// Verdadero si el tamaño que da el sistema para un fichero normal de ese sistema de ficheros es
// su largo. En los que el núcleo fabrica al leer (/sys, /proc y parecidos) no lo es: un fichero
// de /sys dice 4096 bytes y da unos pocos. Esos se leen como un flujo, hasta que se acaban.
bool Tamano_es_su_largo(int fd) {
    struct statfs sistema {};
    if (::fstatfs(fd, &sistema) != 0) return true;
    switch (static_cast<unsigned long>(sistema.f_type)) {
        case SYSFS_MAGIC:
        case PROC_SUPER_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case SECURITYFS_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case EFIVARFS_MAGIC:
        case BPF_FS_MAGIC:
        case 0x62656570:  // configfs
            return false;
        default:
            return true;
    }
}

}  // namespace

Lector_origen::Lector_origen(const QString& ruta, qsizetype tamano_bloque)
    : ruta_(ruta), tamano_bloque_(tamano_bloque), bufer_(new char[tamano_bloque]) {
    if (ruta.isEmpty()) Fallar(QStringLiteral("No se ha indicado el fichero de origen."));
    Comprobar_nombre_legible(ruta, QStringLiteral("fichero de origen"));
    fichero_ = Descriptor(::open(QFile::encodeName(ruta).constData(), O_RDONLY | O_CLOEXEC));
    Abrir();
}

Lector_origen::Lector_origen(Descriptor fichero, const QString& ruta, qsizetype tamano_bloque)
    : ruta_(ruta),
      fichero_(std::move(fichero)),
      tamano_bloque_(tamano_bloque),
      bufer_(new char[tamano_bloque]) {
    Abrir();
}

void Lector_origen::Abrir() {
    if (fichero_.Fd() < 0 || ::fstat(fichero_.Fd(), &estado_) != 0)
        Fallar(QStringLiteral("No se puede abrir el fichero de origen «%1»: %2.")
                   .arg(ruta_, Razon_del_sistema(errno)));
    if (S_ISDIR(estado_.st_mode))
        Fallar(QStringLiteral("No se puede leer el fichero de origen «%1»: es una carpeta.")
                   .arg(ruta_));
    largo_conocido_ = S_ISREG(estado_.st_mode) && Tamano_es_su_largo(fichero_.Fd());
    // Una tubería crece hasta el tamaño del bloque de lectura: quien escribe en ella se adelanta
    // más y cada lectura trae más, con menos cambios entre los dos procesos. Si el sistema no lo
    // permite, se lee igual.
    if (S_ISFIFO(estado_.st_mode)) {
        const int capacidad = ::fcntl(fichero_.Fd(), F_GETPIPE_SZ);
        if (capacidad > 0 && capacidad < tamano_bloque_)
            (void)::fcntl(fichero_.Fd(), F_SETPIPE_SZ, static_cast<int>(tamano_bloque_));
    }
    p_ = fin_ = bufer_.get();
}

void Lector_origen::Retener() {
    reteniendo_ = true;
    // Sitio para el máximo y el bloque que lo pasa, sin copias al crecer; las páginas que no
    // se usan no ocupan memoria.
    retenido_.reserve(static_cast<std::size_t>(Retenido_maximo + tamano_bloque_));
}

void Lector_origen::Volver_al_principio() {
    if (Se_lee_una_vez()) {
        if (!reteniendo_)
            Fallar(QStringLiteral("El fichero de origen «%1» sólo se puede leer una vez y ya se "
                                  "ha leído una parte.")
                       .arg(ruta_));
        reteniendo_ = false;
        reproduciendo_ = true;
        reproducido_ = 0;
    } else {
        if (::lseek(fichero_.Fd(), 0, SEEK_SET) != 0)
            Fallar(QStringLiteral("No se puede volver al principio del fichero de origen «%1»: "
                                  "%2.")
                       .arg(ruta_, Razon_del_sistema(errno)));
        bytes_leidos_ = 0;
    }
    p_ = fin_ = bufer_.get();
    lineas_terminadas_ = 0;
}

bool Lector_origen::Reproducir() {
    const std::size_t n =
        std::min(retenido_.size() - reproducido_, static_cast<std::size_t>(tamano_bloque_));
    if (n == 0) {
        reproduciendo_ = false;
        std::string().swap(retenido_);
        return false;
    }
    p_ = retenido_.data() + reproducido_;
    fin_ = p_ + n;
    reproducido_ += n;
    return true;
}

bool Lector_origen::Rellenar() {
    // Lo guardado se entrega por bloques como los de lectura: Copiar_campos no recibe nunca
    // más de un bloque de una vez.
    if (reproduciendo_ && Reproducir()) return true;
    ssize_t leidos;
    do {
        leidos = ::read(fichero_.Fd(), bufer_.get(), static_cast<size_t>(tamano_bloque_));
    } while (leidos < 0 && errno == EINTR);
    if (leidos < 0) {
        const QString razon = Razon_del_sistema(errno);
        Fallar(QStringLiteral("Error al leer el fichero de origen «%1» en la línea %2: %3.")
                   .arg(ruta_)
                   .arg(Linea())
                   .arg(razon));
    }
    bytes_leidos_ += leidos;
    // Sólo un fichero normal de un sistema de ficheros de verdad tiene un tamaño que se pueda
    // esperar.
    if (leidos == 0 && largo_conocido_ && bytes_leidos_ < estado_.st_size)
        Fallar(QStringLiteral("El fichero de origen «%1» se ha acortado mientras se leía: tenía "
                              "%2 bytes y se acaba en el byte %3, en la línea %4.")
                   .arg(ruta_)
                   .arg(qint64(estado_.st_size))
                   .arg(bytes_leidos_)
                   .arg(Linea()));
    if (reteniendo_) {
        if (retenido_.size() + static_cast<std::size_t>(leidos) >
            static_cast<std::size_t>(Retenido_maximo))
            Fallar(QStringLiteral("El fichero de origen «%1» sólo se puede leer una vez, y para "
                                  "explorar su cabecera habría que guardar más de %2 MiB de él "
                                  "hasta convertirlo. Indique las líneas de cabecera, las "
                                  "columnas y las filas (--cabecera, --columnas y --filas).")
                       .arg(ruta_)
                       .arg(Retenido_maximo >> 20));
        retenido_.append(bufer_.get(), static_cast<std::size_t>(leidos));
    }
    p_ = bufer_.get();
    fin_ = p_ + leidos;
    return leidos > 0;
}

void Lector_origen::Terminar_linea() {
    const char c = *p_++;
    ++lineas_terminadas_;
    // Un CR seguido de LF es un único fin de línea, aunque el LF llegue en el bloque siguiente.
    if (c == '\r' && (p_ < fin_ || Rellenar()) && *p_ == '\n') ++p_;
}

bool Lector_origen::Leer_primero(Extremos& extremos) {
    extremos.primero.clear();
    extremos.ultimo.clear();
    extremos.primero_largo = extremos.ultimo_largo = false;
    return Siguiente_campo([&](const char* datos, qsizetype n) {
        const std::size_t cabe = Extremos::Largo_maximo - extremos.primero.size();
        if (static_cast<std::size_t>(n) > cabe) {
            extremos.primero_largo = true;
            n = static_cast<qsizetype>(cabe);
        }
        extremos.primero.append(datos, static_cast<std::size_t>(n));
    });
}

void Lector_origen::Leer_extremos(Extremos& extremos) {
    std::string campo;
    bool largo = false;
    bool primero = true;
    extremos.primero.clear();
    extremos.ultimo.clear();
    extremos.primero_largo = extremos.ultimo_largo = false;
    const auto guardar = [&](const char* datos, qsizetype n) {
        const std::size_t cabe = Extremos::Largo_maximo - campo.size();
        if (static_cast<std::size_t>(n) > cabe) {
            largo = true;
            n = static_cast<qsizetype>(cabe);
        }
        campo.append(datos, static_cast<std::size_t>(n));
    };
    while (Siguiente_campo(guardar)) {
        if (primero) {
            extremos.primero = campo;
            extremos.primero_largo = largo;
            primero = false;
        }
        std::swap(extremos.ultimo, campo);
        extremos.ultimo_largo = largo;
        campo.clear();
        largo = false;
    }
}

}  // namespace tesmalo
