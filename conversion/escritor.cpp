#include "conversion/escritor.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <system_error>

#include "conversion/lector.h"
#include "conversion/temporales.h"

namespace tesmalo {
namespace {

// Un nombre de temporal que no choca con ningún destino razonable y cabe siempre en el límite
// de nombre del sistema, por largo que sea el del destino.
std::string Nombre_temporal() {
    static constexpr char letras[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string nombre = ".tesmalo-";
    for (int i = 0; i < 8; ++i)
        nombre += letras[QRandomGenerator::global()->bounded(int(sizeof letras - 1))];
    return nombre;
}

// El descriptor que nombra `ruta` si es uno de los de este proceso por su nombre en /dev o en
// /proc (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N), o -1.
int Descriptor_nombrado(const QByteArray& ruta) {
    if (ruta == "/dev/stdout") return STDOUT_FILENO;
    if (ruta == "/dev/stderr") return STDERR_FILENO;
    for (const char* prefijo : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!ruta.startsWith(prefijo)) continue;
        const QByteArray cifras = ruta.mid(qstrlen(prefijo));
        bool numero = false;
        const int fd = cifras.toInt(&numero);
        const bool solo_cifras =
            std::all_of(cifras.begin(), cifras.end(), [](char c) { return c >= '0' && c <= '9'; });
        return numero && solo_cifras ? fd : -1;
    }
    return -1;
}

}  // namespace

Destino_resuelto Resolver_destino(const QString& ruta) {
    if (ruta.isEmpty()) Fallar(QStringLiteral("No se ha indicado el fichero de destino."));
    Comprobar_nombre_legible(ruta, QStringLiteral("fichero de destino"));
    Destino_resuelto d;
    d.ruta = ruta;
    const auto no_se_puede = [&ruta](int error) {
        Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: %2.")
                   .arg(ruta, Razon_del_sistema(error)));
    };

    // El sistema sigue la ruta entera, enlaces simbólicos incluidos (también los de /proc, como
    // /dev/stdout), hasta lo que nombra; si no puede (un enlace colgado, un bucle, demasiados
    // niveles, una carpeta que falta), dice por qué.
    const QByteArray bytes = QFile::encodeName(ruta);
    Descriptor objeto(::open(bytes.constData(), O_PATH | O_CLOEXEC));
    QByteArray resuelta = bytes;
    if (objeto.Fd() < 0) {
        const int error = errno;
        struct stat propio {};
        const bool hay_algo = ::lstat(bytes.constData(), &propio) == 0;
        if (error == ENOENT && hay_algo && S_ISLNK(propio.st_mode)) {
            // Un enlace colgado: se dice adónde lleva, que es lo que falta.
            QByteArray lleva_a(PATH_MAX, '\0');
            const ssize_t n = ::readlink(bytes.constData(), lleva_a.data(), lleva_a.size());
            if (n > 0)
                Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: «%1» es un "
                                      "enlace simbólico a «%2», que no existe.")
                           .arg(ruta, QFile::decodeName(lleva_a.left(n))));
        }
        if (error != ENOENT || hay_algo) no_se_puede(error);
        d.tipo = Destino_resuelto::Tipo::Nuevo;  // no existe: se crea con ese nombre
    } else {
        if (::fstat(objeto.Fd(), &d.estado) != 0) no_se_puede(errno);
        // Un fichero normal que quien llama abrió (con > o >>) y nombra por su descriptor se
        // escribe por ese descriptor: reemplazarlo borraría lo que ya tenía o lo que se
        // escriba en él después.
        const int heredado = Descriptor_nombrado(bytes);
        struct stat propio {};
        if (S_ISREG(d.estado.st_mode) && heredado >= 0 && ::fstat(heredado, &propio) == 0 &&
            propio.st_dev == d.estado.st_dev && propio.st_ino == d.estado.st_ino) {
            const int modo = ::fcntl(heredado, F_GETFL);
            if (modo < 0 || (modo & O_ACCMODE) == O_RDONLY)
                Fallar(QStringLiteral("No se puede escribir en el fichero de destino «%1»: está "
                                      "abierto sólo para leer.")
                           .arg(ruta));
            d.tipo = Destino_resuelto::Tipo::Flujo;
            d.heredado = true;
            d.flujo = Descriptor(::fcntl(heredado, F_DUPFD_CLOEXEC, 0));
            if (d.flujo.Fd() < 0) no_se_puede(errno);
            return d;
        }
        if (S_ISCHR(d.estado.st_mode) || S_ISFIFO(d.estado.st_mode)) {
            // Un flujo se escribe en su sitio: se abre otra vez el mismo objeto, sin volver a
            // resolver la ruta.
            d.tipo = Destino_resuelto::Tipo::Flujo;
            d.carpeta = Descriptor(::open("/proc/self/fd", O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (d.carpeta.Fd() < 0) no_se_puede(errno);
            d.nombre = std::to_string(objeto.Fd());
            d.flujo = std::move(objeto);
            return d;
        }
        if (S_ISDIR(d.estado.st_mode))
            Fallar(QStringLiteral("No se puede escribir el fichero de destino «%1»: es una "
                                  "carpeta.")
                       .arg(ruta));
        if (!S_ISREG(d.estado.st_mode))
            Fallar(QStringLiteral("No se puede escribir el fichero de destino «%1»: no es un "
                                  "fichero normal, ni un dispositivo de caracteres ni una tubería "
                                  "(es un zócalo o un dispositivo de bloques).")
                       .arg(ruta));
        // Un fichero normal se reemplaza por su nombre en su carpeta: la ruta sin enlaces.
        d.tipo = Destino_resuelto::Tipo::Fichero;
        char* real = ::realpath(bytes.constData(), nullptr);
        if (real == nullptr) no_se_puede(errno);
        resuelta = real;
        std::free(real);
    }

    const qsizetype barra = resuelta.lastIndexOf('/');
    const QByteArray carpeta = barra < 0    ? QByteArray(".")
                               : barra == 0 ? QByteArray("/")
                                            : resuelta.left(barra);
    d.nombre = resuelta.mid(barra + 1).toStdString();
    if (d.nombre.empty() || d.nombre == "." || d.nombre == "..")
        Fallar(QStringLiteral("No se puede escribir el fichero de destino «%1»: es una carpeta.")
                   .arg(ruta));
    d.carpeta = Descriptor(::open(carpeta.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (d.carpeta.Fd() < 0) no_se_puede(errno);
    // Lo que hay con ese nombre en esa carpeta debe ser lo que se resolvió; si alguien cambió
    // algo entretanto, no se escribe.
    struct stat ahora {};
    const bool existe =
        ::fstatat(d.carpeta.Fd(), d.nombre.c_str(), &ahora, AT_SYMLINK_NOFOLLOW) == 0;
    if (existe != (d.tipo == Destino_resuelto::Tipo::Fichero) ||
        (existe && (ahora.st_dev != d.estado.st_dev || ahora.st_ino != d.estado.st_ino)))
        Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: ha cambiado mientras "
                              "se comprobaba.")
                   .arg(ruta));
    return d;
}

Escritor_destino::Escritor_destino(Destino_resuelto destino, qsizetype tamano_bloque)
    : destino_(std::move(destino)),
      tamano_bloque_(tamano_bloque),
      bloques_(new char[2 * tamano_bloque]),
      bufer_(bloques_.get()) {
    const int carpeta = destino_.carpeta.Fd();
    const auto no_se_puede = [this](int error) {
        Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: %2.")
                   .arg(destino_.ruta, Razon_del_sistema(error)));
    };
    if (destino_.tipo == Destino_resuelto::Tipo::Flujo) {
        // Un dispositivo o una tubería se escribe en su sitio: no se puede reemplazar.
        fichero_ = destino_.heredado ? std::move(destino_.flujo)
                                     : Descriptor(::openat(carpeta, destino_.nombre.c_str(),
                                                           O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (fichero_.Fd() < 0) no_se_puede(errno);
    } else {
        const bool habia = destino_.tipo == Destino_resuelto::Tipo::Fichero;
        const mode_t modo = habia ? destino_.estado.st_mode & 07777 : 0666;
        {
            Registro_temporales registro;
            if (registro.Abandonados()) no_se_puede(EINTR);
            // Sin nombre, si el sistema de ficheros lo admite: si el proceso muere, no queda.
            fichero_ = Descriptor(::openat(carpeta, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, modo));
            sin_nombre_ = fichero_.Fd() >= 0;
            for (int intento = 0; fichero_.Fd() < 0 && intento < 100; ++intento) {
                const std::string nombre = Nombre_temporal();
                fichero_ = Descriptor(::openat(carpeta, nombre.c_str(),
                                               O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, modo));
                if (fichero_.Fd() >= 0) {
                    temporal_ = nombre;
                    registro.Anotar(carpeta, temporal_);
                } else if (errno != EEXIST) {
                    break;
                }
            }
            if (fichero_.Fd() < 0) no_se_puede(errno);
        }
        // El fichero nuevo conserva los permisos del que reemplaza y, si se puede, su dueño
        // (el cambio de dueño va antes porque borra los bits de setuid y setgid).
        if (habia) {
            if (geteuid() == 0)
                (void)::fchown(fichero_.Fd(), destino_.estado.st_uid, destino_.estado.st_gid);
            if (::fchmod(fichero_.Fd(), modo) != 0) no_se_puede(errno);
        }
    }
    hilo_ = std::thread(&Escritor_destino::Hilo_escritura, this);
}

Escritor_destino::~Escritor_destino() {
    if (hilo_.joinable()) {
        {
            std::lock_guard bloqueo(cerrojo_);
            terminar_ = true;
        }
        aviso_.notify_all();
        hilo_.join();
    }
    if (!temporal_.empty()) {
        Registro_temporales registro;
        ::unlinkat(destino_.carpeta.Fd(), temporal_.c_str(), 0);
        registro.Quitar(destino_.carpeta.Fd(), temporal_);
    }
}

void Escritor_destino::Hilo_escritura() {
    const bool flujo = destino_.tipo == Destino_resuelto::Tipo::Flujo;
    std::unique_lock bloqueo(cerrojo_);
    for (;;) {
        aviso_.wait(bloqueo, [this] { return pendiente_ != nullptr || terminar_; });
        if (pendiente_ == nullptr) return;
        const char* datos = pendiente_;
        qint64 n = largo_pendiente_;
        const qint64 desplazamiento = desplazamiento_pendiente_;
        bloqueo.unlock();
        int error = 0;
        while (n > 0) {
            const ssize_t escritos = ::write(fichero_.Fd(), datos, static_cast<size_t>(n));
            if (escritos < 0 && errno == EINTR) continue;
            if (escritos <= 0) {
                error = escritos < 0 ? errno : ENOSPC;
                break;
            }
            datos += escritos;
            n -= escritos;
        }
        // Que el sistema empiece ya a llevar el bloque a disco, sin esperar: así la espera
        // final al confirmar es corta. Un fallo aquí es un fallo del disco como cualquier otro.
        if (error == 0 && !flujo &&
            ::sync_file_range(fichero_.Fd(), desplazamiento, largo_pendiente_,
                              SYNC_FILE_RANGE_WRITE) != 0 &&
            errno != ENOSYS)
            error = errno;
        bloqueo.lock();
        if (error != 0 && error_.isEmpty()) {
            error_ = Razon_del_sistema(error);
            codigo_error_ = error;
        }
        pendiente_ = nullptr;
        aviso_.notify_all();
    }
}

void Escritor_destino::Esperar() {
    std::unique_lock bloqueo(cerrojo_);
    aviso_.wait(bloqueo, [this] { return pendiente_ == nullptr; });
    if (!error_.isEmpty()) {
        const QString razon = error_;
        const int codigo = codigo_error_;
        bloqueo.unlock();
        // Un flujo que se quedó sin lector (EPIPE) lleva la causa anidada, para que quien
        // llama acabe callado, como cualquier orden cuya salida se cierra.
        if (codigo != EPIPE) Fallar_escritura(razon);
        try {
            throw std::system_error(codigo, std::generic_category());
        } catch (const std::system_error&) {
            std::throw_with_nested(std::runtime_error(
                QStringLiteral("No se puede escribir en el fichero de destino «%1»: %2.")
                    .arg(destino_.ruta, razon)
                    .toStdString()));
        }
    }
}

void Escritor_destino::Fallar_escritura(const QString& razon) {
    Fallar(QStringLiteral("No se puede escribir en el fichero de destino «%1»: %2.")
               .arg(destino_.ruta, razon));
}

void Escritor_destino::Fallar_confirmacion(int error) {
    Fallar(QStringLiteral("No se puede completar el fichero de destino «%1»: %2.")
               .arg(destino_.ruta, Razon_del_sistema(error)));
}

void Escritor_destino::Volcar() {
    Esperar();
    if (usado_ == 0) return;
    {
        std::lock_guard bloqueo(cerrojo_);
        pendiente_ = bufer_;
        largo_pendiente_ = usado_;
        desplazamiento_pendiente_ = volcados_;
    }
    aviso_.notify_all();
    volcados_ += usado_;
    usado_ = 0;
    bufer_ = bufer_ == bloques_.get() ? bloques_.get() + tamano_bloque_ : bloques_.get();
}

void Escritor_destino::Retroceder(qint64 posicion) {
    if (posicion >= volcados_) {
        usado_ = static_cast<qsizetype>(posicion - volcados_);
        return;
    }
    Esperar();
    usado_ = 0;
    if (destino_.tipo == Destino_resuelto::Tipo::Flujo)
        Fallar(QStringLiteral("La última fila de la rejilla está incompleta y no se puede quitar "
                              "del destino «%1»: es un flujo y ya recibió parte de ella.")
                   .arg(destino_.ruta));
    if (::ftruncate(fichero_.Fd(), posicion) != 0 ||
        ::lseek(fichero_.Fd(), posicion, SEEK_SET) != posicion)
        Fallar_escritura(Razon_del_sistema(errno));
    volcados_ = posicion;
}

void Escritor_destino::Terminar_escritura() {
    Volcar();
    Esperar();
}

bool Escritor_destino::Nombrar_temporal() {
    Registro_temporales registro;
    if (registro.Abandonados()) return errno = EINTR, false;
    const std::string enlace = "/proc/self/fd/" + std::to_string(fichero_.Fd());
    for (int intento = 0; intento < 100; ++intento) {
        const std::string nombre = Nombre_temporal();
        if (::linkat(AT_FDCWD, enlace.c_str(), destino_.carpeta.Fd(), nombre.c_str(),
                     AT_SYMLINK_FOLLOW) == 0) {
            temporal_ = nombre;
            registro.Anotar(destino_.carpeta.Fd(), temporal_);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

void Escritor_destino::Confirmar() {
    Terminar_escritura();
    if (destino_.tipo == Destino_resuelto::Tipo::Flujo) {
        if (fichero_.Cerrar() != 0) Fallar_confirmacion(errno);
        return;
    }
    // El contenido en disco, el temporal con nombre y cerrado sin error; sólo entonces toma
    // el nombre del destino, de una vez.
    if (::fdatasync(fichero_.Fd()) != 0) Fallar_confirmacion(errno);
    if (sin_nombre_ && !Nombrar_temporal()) Fallar_confirmacion(errno);
    if (fichero_.Cerrar() != 0) Fallar_confirmacion(errno);
    {
        Registro_temporales registro;
        if (registro.Abandonados()) Fallar_confirmacion(EINTR);
        if (::renameat(destino_.carpeta.Fd(), temporal_.c_str(), destino_.carpeta.Fd(),
                       destino_.nombre.c_str()) != 0)
            Fallar_confirmacion(errno);
        registro.Quitar(destino_.carpeta.Fd(), temporal_);
        temporal_.clear();
    }
    // El cambio de nombre también, en disco: sin esto, un corte de luz justo después del
    // «terminado» puede devolver el destino anterior, o ninguno. Una carpeta que no se deja
    // leer, o un sistema de ficheros que no lleva carpetas a disco, no lo permite: se da por
    // bueno lo que ya hizo el rename.
    const Descriptor carpeta(
        ::openat(destino_.carpeta.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (carpeta.Fd() >= 0 && ::fsync(carpeta.Fd()) != 0 && errno != EINVAL && errno != ENOTSUP)
        Fallar(QStringLiteral("El fichero de destino «%1» ya tiene el contenido nuevo, pero no se "
                              "puede asegurar en el disco su entrada en la carpeta: %2.")
                   .arg(destino_.ruta, Razon_del_sistema(errno)));
}

}  // namespace tesmalo
