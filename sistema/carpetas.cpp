#include "sistema/carpetas.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>

#include "sistema/descriptor.h"

namespace tesmalo {

Nombres_carpeta Sondear_nombres(const QString& carpeta) {
    Nombres_carpeta nombres;
    const Descriptor dir(Sistema_ficheros().Abrir(QFile::encodeName(carpeta).constData(),
                                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Fd() < 0) return nombres;
    // Verdadero si el fichero creado como `creado` se encuentra como `buscado`, que no existía
    // antes. No se comparan los números de nodo: FUSE puede dar uno a cada nombre.
    const auto se_ve_como = [&](const QString& creado, const QString& buscado,
                                bool* creado_ok = nullptr) {
        const QByteArray a = QFile::encodeName(creado), b = QFile::encodeName(buscado);
        struct stat otro {};
        if (creado_ok) *creado_ok = false;
        if (Sistema_ficheros().Estado_en(dir.Fd(), b.constData(), &otro, AT_SYMLINK_NOFOLLOW) == 0)
            return false;
        const Descriptor f(Sistema_ficheros().Abrir_en(
            dir.Fd(), a.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600));
        if (f.Fd() < 0) return false;
        if (creado_ok) *creado_ok = true;
        const bool igual =
            Sistema_ficheros().Estado_en(dir.Fd(), b.constData(), &otro, AT_SYMLINK_NOFOLLOW) == 0;
        Sistema_ficheros().Borrar_en(dir.Fd(), a.constData(), 0);
        return igual;
    };
    const QString azar = QString::number(QRandomGenerator::global()->generate64(), 36);
    const QString base = ".tesmalo-nombres-" + azar;
    nombres.pliega_ascii = se_ve_como(base + "-x", base.toUpper() + "-X");
    bool creado = false;
    nombres.normaliza =
        se_ve_como(base + QStringLiteral("-\u00e9"), base + QStringLiteral("-e\u0301"), &creado);
    if (nombres.pliega_ascii)
        nombres.pliega_unicode = !creado || se_ve_como(base + QStringLiteral("-\u00e9"),
                                                       base + QStringLiteral("-\u00c9"));
    return nombres;
}

std::optional<struct stat> Estado(const QString& ruta) {
    struct stat estado {};
    if (Sistema_ficheros().Estado_en(AT_FDCWD, QFile::encodeName(ruta).constData(), &estado, 0) !=
        0)
        return std::nullopt;
    return estado;
}

QString Ruta_absoluta(const QString& ruta) {
    return QDir::current().absoluteFilePath(ruta);
}

QString Destino_del_enlace(const QString& ruta) {
    QByteArray lleva_a(PATH_MAX, '\0');
    const ssize_t n = Sistema_ficheros().Leer_enlace_en(
        AT_FDCWD, QFile::encodeName(ruta).constData(), lleva_a.data(), lleva_a.size());
    if (n <= 0 || n >= lleva_a.size()) return {};
    QString destino = QFile::decodeName(lleva_a.left(n));
    if (!destino.startsWith('/')) destino.prepend(QFileInfo(Ruta_absoluta(ruta)).path() + '/');
    destino = QDir::cleanPath(destino);
    if (destino.size() > 1 && destino.endsWith('/')) destino.chop(1);
    return destino;
}

int Enlace_que_no_se_sigue(const QString& ruta) {
    struct stat propio {};
    const QByteArray bytes = QFile::encodeName(ruta);
    if (Sistema_ficheros().Estado_en(AT_FDCWD, bytes.constData(), &propio, AT_SYMLINK_NOFOLLOW) !=
            0 ||
        !S_ISLNK(propio.st_mode))
        return 0;
    const Descriptor objeto(Sistema_ficheros().Abrir(bytes.constData(), O_PATH | O_CLOEXEC));
    return objeto.Fd() < 0 ? errno : 0;
}

}  // namespace tesmalo
