#include "conversion/lector.h"

#include <QFileInfo>

namespace tesmalo {

void Fallar(const QString& mensaje) {
    throw std::runtime_error(mensaje.toStdString());
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

Lector_origen::Lector_origen(const QString& ruta, qsizetype tamano_bloque)
    : ruta_(ruta), fichero_(ruta), tamano_bloque_(tamano_bloque), bufer_(new char[tamano_bloque]) {
    if (ruta.isEmpty()) Fallar(QStringLiteral("No se ha indicado el fichero de origen."));
    if (QFileInfo(ruta).isDir())
        Fallar(QStringLiteral("No se puede leer el fichero de origen «%1»: es una carpeta.")
                   .arg(ruta));
    if (!fichero_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        Fallar(QStringLiteral("No se puede abrir el fichero de origen «%1»: %2.")
                   .arg(ruta, fichero_.errorString()));
    if (!fichero_.isSequential()) tamano_al_abrir_ = fichero_.size();
    p_ = fin_ = bufer_.get();
}

bool Lector_origen::Rellenar() {
    const qint64 leidos = fichero_.read(bufer_.get(), tamano_bloque_);
    if (leidos < 0)
        Fallar(QStringLiteral("Error al leer el fichero de origen «%1» en la línea %2: %3.")
                   .arg(ruta_)
                   .arg(Linea())
                   .arg(fichero_.errorString()));
    bytes_leidos_ += leidos;
    if (leidos == 0 && bytes_leidos_ < tamano_al_abrir_)
        Fallar(QStringLiteral("El fichero de origen «%1» se ha acortado mientras se leía: tenía "
                              "%2 bytes y se acaba en el byte %3, en la línea %4.")
                   .arg(ruta_)
                   .arg(tamano_al_abrir_)
                   .arg(bytes_leidos_)
                   .arg(Linea()));
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
