#include "sistema/origen.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>

#include "sistema/ficheros.h"

namespace tesmalo {

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
    if (Sistema_ficheros().Estado_sistema(fd, &sistema) != 0) return true;
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

Origen_abierto::Origen_abierto(qsizetype tamano_bloque)
    : tamano_bloque_(tamano_bloque), bufer_(new char[tamano_bloque]) {}

int Origen_abierto::Abrir(const char* ruta) {
    fichero_ = Descriptor(Sistema_ficheros().Abrir(ruta, O_RDONLY | O_CLOEXEC));
    return Preparar();
}

int Origen_abierto::Adoptar(Descriptor fichero) {
    fichero_ = std::move(fichero);
    return Preparar();
}

int Origen_abierto::Preparar() {
    if (fichero_.Fd() < 0 || Sistema_ficheros().Estado(fichero_.Fd(), &estado_) != 0) return errno;
    largo_conocido_ = S_ISREG(estado_.st_mode) && Tamano_es_su_largo(fichero_.Fd());
    // Una tubería crece hasta el tamaño del bloque de lectura: quien escribe en ella se adelanta
    // más y cada lectura trae más, con menos cambios entre los dos procesos. Si el sistema no lo
    // permite, se lee igual.
    if (S_ISFIFO(estado_.st_mode)) {
        const int capacidad = ::fcntl(fichero_.Fd(), F_GETPIPE_SZ);
        if (capacidad > 0 && capacidad < tamano_bloque_)
            (void)::fcntl(fichero_.Fd(), F_SETPIPE_SZ, static_cast<int>(tamano_bloque_));
    }
    return 0;
}

void Origen_abierto::Retener() {
    reteniendo_ = true;
    // Sitio para el máximo y el bloque que lo pasa, sin copias al crecer; las páginas que no
    // se usan no ocupan memoria.
    retenido_.reserve(static_cast<std::size_t>(Retenido_maximo + tamano_bloque_));
}

int Origen_abierto::Volver_al_principio() {
    if (Se_lee_una_vez()) {
        reteniendo_ = false;
        reproduciendo_ = true;
        reproducido_ = 0;
        return 0;
    }
    if (Sistema_ficheros().Desplazar(fichero_.Fd(), 0, SEEK_SET) != 0) return errno;
    bytes_leidos_ = 0;
    return 0;
}

bool Origen_abierto::Reproducir(const char*& datos, qsizetype& largo) {
    const std::size_t n =
        std::min(retenido_.size() - reproducido_, static_cast<std::size_t>(tamano_bloque_));
    if (n == 0) {
        reproduciendo_ = false;
        std::string().swap(retenido_);
        return false;
    }
    datos = retenido_.data() + reproducido_;
    largo = static_cast<qsizetype>(n);
    reproducido_ += n;
    return true;
}

Origen_abierto::Leido Origen_abierto::Leer_bloque(const char*& datos, qsizetype& largo,
                                                  int& error) {
    // Lo guardado se entrega por bloques como los de lectura: quien lee no recibe nunca más de
    // un bloque de una vez.
    if (reproduciendo_ && Reproducir(datos, largo)) return Leido::Datos;
    datos = bufer_.get();
    largo = 0;
    ssize_t leidos;
    do {
        leidos = Sistema_ficheros().Leer(fichero_.Fd(), bufer_.get(),
                                         static_cast<std::size_t>(tamano_bloque_));
    } while (leidos < 0 && errno == EINTR);
    if (leidos < 0) {
        error = errno;
        return Leido::Error;
    }
    bytes_leidos_ += leidos;
    // Sólo un fichero normal de un sistema de ficheros de verdad tiene un tamaño que se pueda
    // esperar.
    if (leidos == 0 && largo_conocido_ && bytes_leidos_ < estado_.st_size) return Leido::Acortado;
    if (reteniendo_) {
        if (retenido_.size() + static_cast<std::size_t>(leidos) >
            static_cast<std::size_t>(Retenido_maximo))
            return Leido::Demasiado_retenido;
        retenido_.append(bufer_.get(), static_cast<std::size_t>(leidos));
    }
    largo = leidos;
    return leidos > 0 ? Leido::Datos : Leido::Fin;
}

}  // namespace tesmalo
