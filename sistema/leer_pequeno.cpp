#include "sistema/leer_pequeno.h"

#include <fcntl.h>

#include <QFile>
#include <cerrno>

#include "sistema/descriptor.h"
#include "sistema/ficheros.h"
#include "sistema/razones.h"

namespace tesmalo {

std::optional<QByteArray> Leer_fichero_pequeno(const QString& ruta, qint64 maximo,
                                               const QString& que, struct stat& estado) {
    const auto no_se_puede = [&](int error) {
        Fallar(QStringLiteral("No se puede leer %1 «%2»: %3.")
                   .arg(que, ruta, Razon_del_sistema(error)));
    };
    // Sin esperar a un escritor si es una tubería con nombre: se rechaza sin leerla.
    const Descriptor fichero(Sistema_ficheros().Abrir(
        QFile::encodeName(ruta).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fichero.Fd() < 0) {
        if (errno == ENOENT) return std::nullopt;
        no_se_puede(errno);
    }
    if (Sistema_ficheros().Estado(fichero.Fd(), &estado) != 0) no_se_puede(errno);
    if (!S_ISREG(estado.st_mode))
        Fallar(QStringLiteral("No se puede leer %1 «%2»: no es un fichero normal.").arg(que, ruta));
    const auto demasiado = [&](qint64 largo) {
        Fallar(QStringLiteral("No se lee %1 «%2»: tiene %3 bytes, y uno de verdad tiene unos "
                              "pocos miles (se admiten hasta %4). Compruebe que es el fichero "
                              "que debe ser, o apártelo.")
                   .arg(que, ruta)
                   .arg(largo)
                   .arg(maximo));
    };
    if (estado.st_size > maximo) demasiado(estado.st_size);
    // Hasta el fin, aunque crezca entretanto, sin pasar del máximo.
    QByteArray datos(maximo + 1, Qt::Uninitialized);
    qint64 leidos = 0;
    for (;;) {
        const ssize_t n = Sistema_ficheros().Leer(fichero.Fd(), datos.data() + leidos,
                                                  static_cast<std::size_t>(datos.size() - leidos));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) no_se_puede(errno);
        if (n == 0) break;
        leidos += n;
        if (leidos > maximo) demasiado(leidos);
    }
    datos.truncate(leidos);
    return datos;
}

}  // namespace tesmalo
