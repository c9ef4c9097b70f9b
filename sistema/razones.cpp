#include "sistema/razones.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <string.h>

#include <QFile>
#include <stdexcept>

#include "sistema/ficheros.h"

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
            const int fd = Sistema_ficheros().Abrir(QFile::encodeName(carpeta).constData(),
                                                    O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            DIR* d = fd < 0 ? nullptr : ::fdopendir(fd);
            if (d == nullptr) {
                if (fd >= 0) Sistema_ficheros().Cerrar(fd);
                ilegible();
            }
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

}  // namespace tesmalo
