#include "sistema/resolver_destino.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>

#include "sistema/ficheros.h"
#include "sistema/razones.h"

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
        Descriptor abierta(Sistema_ficheros().Abrir_en(base, arriba.constData(),
                                                       O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (abierta.Fd() < 0) return errno;
        carpeta = std::move(abierta);
        base = carpeta.Fd();
        nombre = camino.mid(barra + 1).toStdString();
        QByteArray lleva_a(PATH_MAX, '\0');
        const ssize_t n =
            Sistema_ficheros().Leer_enlace_en(base, nombre.c_str(), lleva_a.data(), lleva_a.size());
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
    if (Sistema_ficheros().Permite_en(d.carpeta.Fd(), ".", W_OK | X_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM || errno == EROFS))
        rechazar(QStringLiteral("y no lo permite (%1)").arg(Razon_del_sistema(errno)));
    // En una carpeta con el bit «sticky» (como /tmp), sólo el dueño del fichero, el de la
    // carpeta o root puede reemplazar un fichero.
    struct stat carpeta {};
    const uid_t yo = geteuid();
    if (reemplaza && yo != 0 && Sistema_ficheros().Estado(d.carpeta.Fd(), &carpeta) == 0 &&
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
    Descriptor objeto(Sistema_ficheros().Abrir(bytes.constData(), O_PATH | O_CLOEXEC));
    if (objeto.Fd() < 0) {
        const int error = errno;
        struct stat propio {};
        const bool hay_algo = Sistema_ficheros().Estado_en(AT_FDCWD, bytes.constData(), &propio,
                                                           AT_SYMLINK_NOFOLLOW) == 0;
        if (error == ENOENT && hay_algo && S_ISLNK(propio.st_mode)) {
            // Un enlace colgado: se dice adónde lleva, que es lo que falta.
            QByteArray lleva_a(PATH_MAX, '\0');
            const ssize_t n = Sistema_ficheros().Leer_enlace_en(AT_FDCWD, bytes.constData(),
                                                                lleva_a.data(), lleva_a.size());
            if (n > 0)
                Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: «%1» es un "
                                      "enlace simbólico a «%2», que no existe.")
                           .arg(ruta, QFile::decodeName(lleva_a.left(n))));
        }
        if (error != ENOENT || hay_algo) no_se_puede(error);
        d.tipo = Destino_resuelto::Tipo::Nuevo;  // no existe: se crea con ese nombre
    } else {
        if (Sistema_ficheros().Estado(objeto.Fd(), &d.estado) != 0) no_se_puede(errno);
        // Un fichero normal que quien llama abrió (con > o >>) y nombra por su descriptor se
        // escribe por ese descriptor: reemplazarlo borraría lo que ya tenía o lo que se
        // escriba en él después.
        const int heredado = Descriptor_nombrado(bytes);
        struct stat propio {};
        if (S_ISREG(d.estado.st_mode) && heredado >= 0 &&
            Sistema_ficheros().Estado(heredado, &propio) == 0 && propio.st_dev == d.estado.st_dev &&
            propio.st_ino == d.estado.st_ino) {
            const int modo = Sistema_ficheros().Leer_banderas(heredado);
            if (modo < 0 || (modo & O_ACCMODE) == O_RDONLY)
                Fallar(QStringLiteral("No se puede escribir en el fichero de destino «%1»: está "
                                      "abierto sólo para leer.")
                           .arg(ruta));
            d.tipo = Destino_resuelto::Tipo::Flujo;
            d.heredado = true;
            d.flujo = Copiar_descriptor(heredado);
            if (d.flujo.Fd() < 0) no_se_puede(errno);
            return d;
        }
        if (S_ISCHR(d.estado.st_mode) || S_ISFIFO(d.estado.st_mode)) {
            // Un flujo se escribe en su sitio: se abre otra vez el mismo objeto, sin volver a
            // resolver la ruta.
            d.tipo = Destino_resuelto::Tipo::Flujo;
            d.carpeta = Descriptor(
                Sistema_ficheros().Abrir("/proc/self/fd", O_PATH | O_DIRECTORY | O_CLOEXEC));
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
    const bool existe = Sistema_ficheros().Estado_en(d.carpeta.Fd(), d.nombre.c_str(), &ahora,
                                                     AT_SYMLINK_NOFOLLOW) == 0;
    if (existe != (d.tipo == Destino_resuelto::Tipo::Fichero) ||
        (existe && (ahora.st_dev != d.estado.st_dev || ahora.st_ino != d.estado.st_ino)))
        Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: ha cambiado mientras "
                              "se comprobaba.")
                   .arg(ruta));
    Comprobar_carpeta(d);
    return d;
}

// La salida estándar como destino: un flujo que se escribe por una copia de su descriptor, tal
// como está abierto (sin abrirlo otra vez: una tubería sin lector no deja abrirla para escribir
// y otra que sí lo tiene podría no ser la misma).
Destino_resuelto Resolver_salida_estandar() {
    Destino_resuelto d;
    d.ruta = QStringLiteral("-");
    d.tipo = Destino_resuelto::Tipo::Flujo;
    d.heredado = true;
    d.flujo = Copiar_descriptor(STDOUT_FILENO);
    const int modo = d.flujo.Fd() < 0 ? -1 : Sistema_ficheros().Leer_banderas(d.flujo.Fd());
    if (modo < 0 || Sistema_ficheros().Estado(d.flujo.Fd(), &d.estado) != 0)
        Fallar(QStringLiteral("No se puede escribir en la salida estándar: %1.")
                   .arg(Razon_del_sistema(errno)));
    if ((modo & O_ACCMODE) == O_RDONLY)
        Fallar(
            QStringLiteral("No se puede escribir en la salida estándar: está abierta sólo "
                           "para leer."));
    return d;
}

}  // namespace tesmalo
