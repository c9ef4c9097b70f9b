#include "sistema/identidad.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "sistema/carpetas.h"
#include "sistema/descriptor.h"
#include "sistema/ficheros.h"
#include "sistema/origen.h"

namespace tesmalo {
namespace {

constexpr std::size_t Bloque_comparacion = 1 << 20;

// Lee hasta `n` bytes de `fd` desde `posicion`, los que haya; -1 con errno si falla.
ssize_t Leer_todo_en(int fd, char* bufer, std::size_t n, off_t posicion) {
    std::size_t leidos = 0;
    while (leidos < n) {
        const ssize_t r = Sistema_ficheros().Leer_en(fd, bufer + leidos, n - leidos,
                                                     posicion + static_cast<off_t>(leidos));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        leidos += static_cast<std::size_t>(r);
    }
    return static_cast<ssize_t>(leidos);
}

}  // namespace

bool Parecen_el_mismo(const struct stat& a, const struct stat& b) {
    if (!S_ISREG(a.st_mode) || !S_ISREG(b.st_mode) || a.st_size != b.st_size) return false;
    const long long na = a.st_mtim.tv_sec * 1000000000LL + a.st_mtim.tv_nsec;
    const long long nb = b.st_mtim.tv_sec * 1000000000LL + b.st_mtim.tv_nsec;
    return (na > nb ? na - nb : nb - na) < 2000000000LL;
}

int Mismos_bytes(int a, int b, off_t largo) {
    const std::unique_ptr<char[]> ba(new char[Bloque_comparacion]),
        bb(new char[Bloque_comparacion]);
    // Un byte más que el largo: si uno de los dos ha crecido, ya no son iguales.
    for (off_t posicion = 0; posicion <= largo;) {
        const std::size_t n =
            static_cast<std::size_t>(std::min<off_t>(Bloque_comparacion, largo - posicion + 1));
        const ssize_t ra = Leer_todo_en(a, ba.get(), n, posicion);
        if (ra < 0) return -1;
        const ssize_t rb = Leer_todo_en(b, bb.get(), n, posicion);
        if (rb < 0) return -1;
        if (ra != rb || std::memcmp(ba.get(), bb.get(), static_cast<std::size_t>(ra)) != 0)
            return 0;
        if (static_cast<std::size_t>(ra) < n) return posicion + ra == largo ? 1 : 0;
        posicion += ra;
    }
    return 0;  // pasa de `largo`
}

int Mismo_contenido(int origen, const struct stat& estado_origen, const Destino_resuelto& d) {
    if (!Parecen_el_mismo(estado_origen, d.estado)) return 0;
    const int banderas = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    Descriptor destino;
    if (d.tipo == Destino_resuelto::Tipo::Fichero)
        destino =
            Descriptor(Sistema_ficheros().Abrir_en(d.carpeta.Fd(), d.nombre.c_str(), banderas));
    else if (d.tipo == Destino_resuelto::Tipo::Flujo && d.heredado)
        destino = Descriptor(Sistema_ficheros().Abrir(
            ("/proc/self/fd/" + std::to_string(d.flujo.Fd())).c_str(), banderas & ~O_NOFOLLOW));
    else
        return 0;
    if (destino.Fd() < 0) return -1;
    // Se compara lo que hay ahora con ese nombre, mirado otra vez.
    struct stat ahora {};
    if (Sistema_ficheros().Estado(destino.Fd(), &ahora) != 0) return -1;
    if (!Parecen_el_mismo(estado_origen, ahora)) return 0;
    return Mismos_bytes(origen, destino.Fd(), ahora.st_size);
}

int Mismo_contenido(const QString& a, const QString& b) {
    const int banderas = O_RDONLY | O_NONBLOCK | O_CLOEXEC;
    const Descriptor fa(Sistema_ficheros().Abrir(QFile::encodeName(a).constData(), banderas));
    const Descriptor fb(Sistema_ficheros().Abrir(QFile::encodeName(b).constData(), banderas));
    struct stat ea {
    }, eb{};
    if (fa.Fd() < 0 || fb.Fd() < 0 || Sistema_ficheros().Estado(fa.Fd(), &ea) != 0 ||
        Sistema_ficheros().Estado(fb.Fd(), &eb) != 0 || !Parecen_el_mismo(ea, eb))
        return 0;
    return Mismos_bytes(fa.Fd(), fb.Fd(), ea.st_size) == 1 ? 1 : 0;
}

bool Mismo_nombre_en_carpeta(const QString& ruta_origen, const Destino_resuelto& d) {
    if (d.tipo != Destino_resuelto::Tipo::Fichero || d.nombre.empty()) return false;
    const QFileInfo info(ruta_origen);
    const QString nombre_origen = info.fileName();
    const QString nombre_destino = QFile::decodeName(QByteArray::fromStdString(d.nombre));
    // Sin sondear: la carpeta que más pliega los tendría por iguales.
    const Nombres_carpeta la_que_mas{true, true, true};
    if (nombre_origen == nombre_destino ||
        la_que_mas.Clave(nombre_origen) != la_que_mas.Clave(nombre_destino))
        return false;
    struct stat carpeta_origen {
    }, carpeta_destino{};
    if (Sistema_ficheros().Estado_en(AT_FDCWD, QFile::encodeName(info.path()).constData(),
                                     &carpeta_origen, 0) != 0 ||
        Sistema_ficheros().Estado(d.carpeta.Fd(), &carpeta_destino) != 0 ||
        !Mismo_fichero(carpeta_origen, carpeta_destino))
        return false;
    const Nombres_carpeta nombres = Sondear_nombres(info.path());
    return nombres.Clave(nombre_origen) == nombres.Clave(nombre_destino);
}

}  // namespace tesmalo
