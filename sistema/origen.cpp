#include "sistema/origen.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <zlib.h>

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

// La descompresión de un origen gzip: lo leído del fichero y aún no descomprimido, y dónde va.
struct Origen_abierto::Gzip {
    z_stream flujo{};
    std::unique_ptr<char[]> entrada;
    bool iniciado = false;
    bool fin_fichero = false;  // ya no queda nada que leer del fichero comprimido
    bool fin_miembro = false;  // el último miembro descomprimido llegó a su final
    ~Gzip() {
        if (iniciado) inflateEnd(&flujo);
    }
};

// Sitio para dos bytes al menos: los que dicen si el origen es un flujo gzip.
Origen_abierto::Origen_abierto(qsizetype tamano_bloque)
    : tamano_bloque_(tamano_bloque), bufer_(new char[std::max<qsizetype>(tamano_bloque, 2)]) {}

Origen_abierto::~Origen_abierto() = default;

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
    sobrante_ = 0;
    // Un origen comprimido se vuelve a descomprimir desde su primer miembro.
    if (gzip_) {
        if (inflateReset(&gzip_->flujo) != Z_OK) return EINVAL;
        gzip_->flujo.avail_in = 0;
        gzip_->fin_fichero = gzip_->fin_miembro = false;
    }
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

Origen_abierto::Leido Origen_abierto::Leer_crudo(char* destino, qsizetype cabe, qsizetype& leidos,
                                                 int& error) {
    ssize_t n;
    do {
        n = Sistema_ficheros().Leer(fichero_.Fd(), destino, static_cast<std::size_t>(cabe));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        error = errno;
        return Leido::Error;
    }
    bytes_leidos_ += n;
    leidos = n;
    if (n > 0) return Leido::Datos;
    // Sólo un fichero normal de un sistema de ficheros de verdad tiene un tamaño que se pueda
    // esperar.
    if (largo_conocido_ && bytes_leidos_ < estado_.st_size) return Leido::Acortado;
    return Leido::Fin;
}

Origen_abierto::Leido Origen_abierto::Leer_primero(qsizetype& largo, int& error) {
    mirado_ = true;
    // Dos bytes bastan para saberlo; una tubería o un bloque de un byte pueden dar uno solo.
    qsizetype n = 0;
    for (;;) {
        qsizetype leidos = 0;
        const qsizetype cabe = std::max<qsizetype>(tamano_bloque_, 2) - n;
        const Leido leido =
            Leer_crudo(bufer_.get() + n, n == 0 ? tamano_bloque_ : cabe, leidos, error);
        if (leido == Leido::Error || leido == Leido::Acortado) return leido;
        if (leido == Leido::Fin) break;
        n += leidos;
        if (n >= 2 || static_cast<unsigned char>(bufer_[0]) != 0x1f) break;
    }
    if (n >= 2 && static_cast<unsigned char>(bufer_[0]) == 0x1f &&
        static_cast<unsigned char>(bufer_[1]) == 0x8b) {
        auto gzip = std::make_unique<Gzip>();
        // 16 + MAX_WBITS: sólo el formato gzip, con su cabecera y su comprobación final.
        if (inflateInit2(&gzip->flujo, 16 + MAX_WBITS) != Z_OK) {
            error = ENOMEM;
            return Leido::Error;
        }
        gzip->iniciado = true;
        // Lo leído pasa a ser la entrada de la descompresión, y el bloque de salida es otro.
        gzip->entrada = std::move(bufer_);
        bufer_.reset(new char[std::max<qsizetype>(tamano_bloque_, 2)]);
        gzip->flujo.next_in = reinterpret_cast<Bytef*>(gzip->entrada.get());
        gzip->flujo.avail_in = static_cast<uInt>(n);
        gzip_ = std::move(gzip);
        return Descomprimir(largo, error);
    }
    // Con un bloque de un byte, el segundo se entrega en la lectura siguiente.
    largo = std::min(n, tamano_bloque_);
    sobrante_ = n - largo;
    return largo > 0 ? Leido::Datos : Leido::Fin;
}

Origen_abierto::Leido Origen_abierto::Descomprimir(qsizetype& largo, int& error) {
    z_stream& flujo = gzip_->flujo;
    flujo.next_out = reinterpret_cast<Bytef*>(bufer_.get());
    flujo.avail_out = static_cast<uInt>(tamano_bloque_);
    while (flujo.avail_out == static_cast<uInt>(tamano_bloque_)) {
        if (flujo.avail_in == 0) {
            if (gzip_->fin_fichero) {
                // Un flujo que se acaba sin la comprobación final de su miembro está cortado.
                if (!gzip_->fin_miembro) return Leido::Comprimido_cortado;
                break;
            }
            qsizetype leidos = 0;
            const Leido leido = Leer_crudo(gzip_->entrada.get(), tamano_bloque_, leidos, error);
            if (leido == Leido::Error || leido == Leido::Acortado) return leido;
            if (leido == Leido::Fin) {
                gzip_->fin_fichero = true;
                continue;
            }
            flujo.next_in = reinterpret_cast<Bytef*>(gzip_->entrada.get());
            flujo.avail_in = static_cast<uInt>(leidos);
        }
        // Tras un miembro viene otro, como en un fichero hecho con cat de varios .gz; lo que no
        // empiece como un miembro es un flujo dañado.
        if (gzip_->fin_miembro) {
            if (inflateReset(&flujo) != Z_OK) return Leido::Comprimido_danado;
            gzip_->fin_miembro = false;
        }
        const int resultado = inflate(&flujo, Z_NO_FLUSH);
        if (resultado == Z_STREAM_END)
            gzip_->fin_miembro = true;
        else if (resultado == Z_MEM_ERROR) {
            error = ENOMEM;
            return Leido::Error;
        } else if (resultado != Z_OK && resultado != Z_BUF_ERROR)
            return Leido::Comprimido_danado;
    }
    largo = tamano_bloque_ - static_cast<qsizetype>(flujo.avail_out);
    return largo > 0 ? Leido::Datos : Leido::Fin;
}

Origen_abierto::Leido Origen_abierto::Leer_bloque(const char*& datos, qsizetype& largo,
                                                  int& error) {
    // Lo guardado se entrega por bloques como los de lectura: quien lee no recibe nunca más de
    // un bloque de una vez.
    if (reproduciendo_ && Reproducir(datos, largo)) return Leido::Datos;
    datos = bufer_.get();
    largo = 0;
    Leido leido;
    if (!mirado_) {
        leido = Leer_primero(largo, error);
    } else if (gzip_) {
        leido = Descomprimir(largo, error);
    } else if (sobrante_ > 0) {
        bufer_[0] = bufer_[tamano_bloque_];
        largo = sobrante_;
        sobrante_ = 0;
        leido = Leido::Datos;
    } else {
        leido = Leer_crudo(bufer_.get(), tamano_bloque_, largo, error);
    }
    // Al descubrir un flujo gzip, el bloque de salida pasa a ser otro.
    datos = bufer_.get();
    if (leido != Leido::Datos) return leido;
    if (reteniendo_) {
        if (retenido_.size() + static_cast<std::size_t>(largo) >
            static_cast<std::size_t>(Retenido_maximo))
            return Leido::Demasiado_retenido;
        retenido_.append(bufer_.get(), static_cast<std::size_t>(largo));
    }
    return Leido::Datos;
}

}  // namespace tesmalo
