#include "conversion/escritor.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <fcntl.h>
#include <sys/acl.h>
#include <unistd.h>

#include <QFile>
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

// La carpeta (abierta con O_PATH) y el nombre del fichero al que lleva `camino`: las carpetas
// del camino las resuelve el sistema al abrirlas, y un último tramo que es un enlace simbólico se
// sigue, desde la carpeta del enlace, hasta lo que no lo es (o no existe). Con la carpeta abierta
// y un solo nombre, sin formar rutas enteras, vale también en carpetas más hondas que PATH_MAX.
// Devuelve 0, o el errno si no se pudo.
int Carpeta_y_nombre(QByteArray camino, Descriptor& carpeta, std::string& nombre) {
    int base = AT_FDCWD;
    for (int enlaces = 0;; ++enlaces) {
        const qsizetype barra = camino.lastIndexOf('/');
        const QByteArray arriba = barra < 0    ? QByteArray(".")
                                  : barra == 0 ? QByteArray("/")
                                               : camino.left(barra);
        Descriptor abierta(::openat(base, arriba.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (abierta.Fd() < 0) return errno;
        carpeta = std::move(abierta);
        base = carpeta.Fd();
        nombre = camino.mid(barra + 1).toStdString();
        QByteArray lleva_a(PATH_MAX, '\0');
        const ssize_t n = ::readlinkat(base, nombre.c_str(), lleva_a.data(), lleva_a.size());
        if (n < 0) return errno == EINVAL || errno == ENOENT ? 0 : errno;
        if (n >= lleva_a.size()) return ENAMETOOLONG;
        if (enlaces >= 40) return ELOOP;
        camino = lleva_a.left(n);
    }
}

// Un fichero normal se escribe aparte y toma su nombre al terminar: la carpeta tiene que dejar
// crear un fichero en ella y renombrarlo sobre ese nombre. Se comprueba al resolver, antes de
// leer los valores, para no fallar al final de una conversión entera.
void Comprobar_carpeta(const Destino_resuelto& d) {
    const bool reemplaza = d.tipo == Destino_resuelto::Tipo::Fichero;
    const auto rechazar = [&](const QString& motivo) {
        Fallar(QStringLiteral("No se puede %1 el fichero de destino «%2»: su carpeta debe permitir "
                              "crear y renombrar ficheros, porque el fichero nuevo se escribe "
                              "aparte y toma el nombre al terminar, %3.")
                   .arg(reemplaza ? QStringLiteral("reemplazar") : QStringLiteral("crear"), d.ruta,
                        motivo));
    };
    if (::faccessat(d.carpeta.Fd(), ".", W_OK | X_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM || errno == EROFS))
        rechazar(QStringLiteral("y no lo permite (%1)").arg(Razon_del_sistema(errno)));
    // En una carpeta con el bit «sticky» (como /tmp), sólo el dueño del fichero, el de la
    // carpeta o root puede reemplazar un fichero.
    struct stat carpeta {};
    const uid_t yo = geteuid();
    if (reemplaza && yo != 0 && ::fstat(d.carpeta.Fd(), &carpeta) == 0 &&
        (carpeta.st_mode & S_ISVTX) != 0 && carpeta.st_uid != yo && d.estado.st_uid != yo)
        rechazar(
            QStringLiteral("y ésta es una carpeta compartida (con el bit «sticky») de otro "
                           "usuario, donde sólo el dueño del fichero puede reemplazarlo"));
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
        // Un fichero normal se reemplaza por su nombre en su carpeta, la del último enlace.
        d.tipo = Destino_resuelto::Tipo::Fichero;
    }

    if (const int error = Carpeta_y_nombre(bytes, d.carpeta, d.nombre); error != 0)
        no_se_puede(error);
    if (d.nombre.empty() || d.nombre == "." || d.nombre == "..")
        Fallar(QStringLiteral("No se puede escribir el fichero de destino «%1»: es una carpeta.")
                   .arg(ruta));
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
    Comprobar_carpeta(d);
    return d;
}

Escritor_destino::Escritor_destino(Destino_resuelto destino, qsizetype tamano_bloque)
    : destino_(std::move(destino)),
      tamano_bloque_(tamano_bloque),
      bloques_(new char[2 * tamano_bloque]),
      bufer_(bloques_.get()) {
    // Si algo falla a partir de aquí, el destructor no corre: lo que haya creado se retira aquí.
    try {
        Abrir();
        hilo_ = std::thread(&Escritor_destino::Hilo_escritura, this);
    } catch (...) {
        Descartar();
        throw;
    }
}

void Escritor_destino::Abrir() {
    const int carpeta = destino_.carpeta.Fd();
    const auto no_se_puede = [this](int error) {
        Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: %2.")
                   .arg(destino_.ruta, Razon_del_sistema(error)));
    };
    if (destino_.tipo == Destino_resuelto::Tipo::Flujo) {
        {
            Registro_temporales registro;
            if (registro.Abandonados()) no_se_puede(EINTR);
            registro.Empezar_destino();
            en_curso_ = true;
        }
        // Un dispositivo o una tubería se escribe en su sitio: no se puede reemplazar.
        fichero_ = destino_.heredado ? std::move(destino_.flujo)
                                     : Descriptor(::openat(carpeta, destino_.nombre.c_str(),
                                                           O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (fichero_.Fd() < 0) no_se_puede(errno);
        return;
    }
    // Un fichero que se reemplaza recibe sus permisos después; hasta entonces, sólo su dueño
    // puede abrir el temporal.
    const bool habia = destino_.tipo == Destino_resuelto::Tipo::Fichero;
    const mode_t modo = habia ? S_IRUSR | S_IWUSR : 0666;
    {
        Registro_temporales registro;
        if (registro.Abandonados()) no_se_puede(EINTR);
        registro.Empezar_destino();
        en_curso_ = true;
        // Sin nombre, si el sistema de ficheros lo admite: si el proceso muere, no queda.
        fichero_ = Descriptor(::openat(carpeta, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, modo));
        sin_nombre_ = fichero_.Fd() >= 0;
    }
    // Sin nombre, nadie más lo alcanza: el cerrojo no puede llegar tarde, y ya lo lleva cuando
    // Nombrar_temporal le da un nombre.
    if (sin_nombre_) (void)Bloquear_temporal(fichero_.Fd(), carpeta, {});
    for (int intento = 0; fichero_.Fd() < 0 && intento < 100; ++intento) {
        const std::string nombre = Nombre_temporal();
        {
            Registro_temporales registro;
            if (registro.Abandonados()) no_se_puede(EINTR);
            fichero_ = Descriptor(
                ::openat(carpeta, nombre.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, modo));
            if (fichero_.Fd() < 0) {
                if (errno == EEXIST) continue;
                break;
            }
            temporal_ = nombre;
            registro.Anotar(carpeta, temporal_);
        }
        // Otra conversión pudo tomarlo por abandonado antes de bloquearlo: entonces otro.
        if (Bloquear_temporal(fichero_.Fd(), carpeta, temporal_)) break;
        Registro_temporales registro;
        registro.Quitar(carpeta, temporal_);
        temporal_.clear();
        fichero_.Cerrar();
    }
    if (fichero_.Fd() < 0) no_se_puede(errno);
    // El cerrojo vive con la descripción abierta: esta copia lo guarda hasta que el temporal
    // tome el nombre del destino, aunque el fichero se cierre antes (en Confirmar).
    retenido_ = Descriptor(::fcntl(fichero_.Fd(), F_DUPFD_CLOEXEC, 0));
    if (retenido_.Fd() < 0) no_se_puede(errno);
    // Con el propio ya bloqueado, se retiran los que dejaron conversiones que no acabaron.
    Retirar_temporales_abandonados(carpeta);
    if (habia) Copiar_permisos();
}

void Escritor_destino::Copiar_permisos() {
    const struct stat& viejo = destino_.estado;
    const int nuevo = fichero_.Fd();
    // El dueño primero, porque cambiarlo borra los bits de setuid y setgid. Sin privilegios
    // sólo se puede dar un grupo propio; si no se puede, el grupo se comprueba al final.
    // Lo que no se pueda dar aquí lo ve la comprobación del final.
    const uid_t dueno = geteuid() == 0 ? viejo.st_uid : static_cast<uid_t>(-1);
    if (::fchown(nuevo, dueno, viejo.st_gid) != 0) {
    }

    // Los permisos con su ACL y los atributos extendidos, leídos del fichero que se reemplaza.
    // Lo que el sistema de ficheros no guarda (FAT por FUSE no guarda ni los permisos) no es un
    // fallo; lo que no se puede es acabar dando más acceso que el fichero anterior.
    bool copiados = false;
    bool con_acl = true;  // el anterior tiene, o puede tener, una ACL más allá de los permisos
    Descriptor anterior(::openat(destino_.carpeta.Fd(), destino_.nombre.c_str(),
                                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat leido {};
    if (anterior.Fd() >= 0 && ::fstat(anterior.Fd(), &leido) == 0 && leido.st_dev == viejo.st_dev &&
        leido.st_ino == viejo.st_ino) {
        const int extendida = acl_extended_fd(anterior.Fd());
        con_acl = extendida > 0 || (extendida < 0 && errno != ENOTSUP && errno != ENOSYS);
        copiados = perm_copy_fd(nullptr, anterior.Fd(), nullptr, nuevo, nullptr) == 0;
        (void)attr_copy_fd(nullptr, anterior.Fd(), nullptr, nuevo, nullptr, nullptr);
    }

    // Si la ACL no pasó entera, los usuarios y grupos que nombraba caerían en «otros» o en el
    // grupo: sólo queda el dueño. Y si el grupo no es el del anterior, sus bits serían para
    // otro grupo: se quitan.
    mode_t limite = 07777;
    if (!copiados && con_acl) limite = 07000 | S_IRWXU;
    struct stat ahora {};
    if (::fstat(nuevo, &ahora) == 0 && ahora.st_gid != viejo.st_gid) limite &= ~S_IRWXG;
    const mode_t modo = viejo.st_mode & limite;
    // También vuelve a poner los bits de setuid y setgid, si la ACL los borró.
    (void)::fchmod(nuevo, modo);
    if (::fstat(nuevo, &ahora) != 0 || (ahora.st_mode & 07777 & ~modo) != 0)
        Fallar(QStringLiteral("No se puede reemplazar el fichero de destino «%1»: el sistema de "
                              "ficheros no deja dar al fichero nuevo los permisos del anterior "
                              "(%2), y con los suyos (%3) daría más acceso.")
                   .arg(destino_.ruta)
                   .arg(viejo.st_mode & 07777, 4, 8, QLatin1Char('0'))
                   .arg(ahora.st_mode & 07777, 4, 8, QLatin1Char('0')));
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
    Descartar();
}

void Escritor_destino::Descartar() {
    if (temporal_.empty() && !en_curso_) return;
    Registro_temporales registro;
    if (!temporal_.empty()) {
        // Todavía bloqueado: ninguna otra conversión lo toma a la vez por abandonado.
        ::unlinkat(destino_.carpeta.Fd(), temporal_.c_str(), 0);
        registro.Quitar(destino_.carpeta.Fd(), temporal_);
        temporal_.clear();
    }
    if (en_curso_) registro.Acabar_destino(false);
    en_curso_ = false;
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
        Registro_temporales registro;
        registro.Acabar_destino(true);
        en_curso_ = false;
        return;
    }
    // El contenido en disco, el temporal con nombre y cerrado sin error; sólo entonces toma
    // el nombre del destino, de una vez. El cerrojo sigue en `retenido_` hasta después.
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
        // Desde aquí, la conversión está hecha: una señal de fin ya no la interrumpe.
        registro.Acabar_destino(true);
        en_curso_ = false;
    }
    retenido_.Cerrar();
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
