#include "conversion/lector.h"

#include <sys/stat.h>

#include <QFile>
#include <utility>

namespace tesmalo {

Lector_origen::Lector_origen(const QString& ruta, qsizetype tamano_bloque)
    : ruta_(ruta), origen_(tamano_bloque) {
    if (ruta.isEmpty()) Fallar(QStringLiteral("No se ha indicado el fichero de origen."));
    Comprobar_nombre_legible(ruta, QStringLiteral("fichero de origen"));
    Abrir(origen_.Abrir(QFile::encodeName(ruta).constData()));
}

Lector_origen::Lector_origen(Descriptor fichero, const QString& ruta, qsizetype tamano_bloque)
    : ruta_(ruta), origen_(tamano_bloque) {
    Abrir(origen_.Adoptar(std::move(fichero)));
}

void Lector_origen::Abrir(int error) {
    if (error != 0)
        Fallar(QStringLiteral("No se puede abrir el fichero de origen «%1»: %2.")
                   .arg(ruta_, Razon_del_sistema(error)));
    if (S_ISDIR(Estado().st_mode))
        Fallar(QStringLiteral("No se puede leer el fichero de origen «%1»: es una carpeta.")
                   .arg(ruta_));
}

void Lector_origen::Retener() {
    origen_.Retener();
}

void Lector_origen::Volver_al_principio() {
    if (Se_lee_una_vez() && !origen_.Reteniendo())
        Fallar(QStringLiteral("El fichero de origen «%1» sólo se puede leer una vez y ya se "
                              "ha leído una parte.")
                   .arg(ruta_));
    if (const int error = origen_.Volver_al_principio(); error != 0)
        Fallar(QStringLiteral("No se puede volver al principio del fichero de origen «%1»: "
                              "%2.")
                   .arg(ruta_, Razon_del_sistema(error)));
    p_ = fin_ = nullptr;
    lineas_terminadas_ = 0;
}

bool Lector_origen::Rellenar() {
    const char* datos = nullptr;
    qsizetype largo = 0;
    int error = 0;
    switch (origen_.Leer_bloque(datos, largo, error)) {
        case Origen_abierto::Leido::Datos:
        case Origen_abierto::Leido::Fin:
            break;
        case Origen_abierto::Leido::Error:
            Fallar(QStringLiteral("Error al leer el fichero de origen «%1» en la línea %2: %3.")
                       .arg(ruta_)
                       .arg(Linea())
                       .arg(Razon_del_sistema(error)));
        case Origen_abierto::Leido::Acortado:
            Fallar(QStringLiteral("El fichero de origen «%1» se ha acortado mientras se leía: "
                                  "tenía %2 bytes y se acaba en el byte %3, en la línea %4.")
                       .arg(ruta_)
                       .arg(qint64(Estado().st_size))
                       .arg(origen_.Bytes_leidos())
                       .arg(Linea()));
        case Origen_abierto::Leido::Demasiado_retenido:
            Fallar(QStringLiteral("El fichero de origen «%1» sólo se puede leer una vez, y para "
                                  "explorar su cabecera habría que guardar más de %2 MiB de él "
                                  "hasta convertirlo. Indique las líneas de cabecera, las "
                                  "columnas y las filas (--cabecera, --columnas y --filas).")
                       .arg(ruta_)
                       .arg(Retenido_maximo >> 20));
        case Origen_abierto::Leido::Comprimido_danado:
            Fallar(QStringLiteral("El fichero de origen «%1» está comprimido con gzip y sus datos "
                                  "están dañados cerca de la línea %2: no se puede descomprimir. "
                                  "Compruébelo con «gzip -t» y vuelva a obtenerlo.")
                       .arg(ruta_)
                       .arg(Linea()));
        case Origen_abierto::Leido::Comprimido_cortado:
            Fallar(QStringLiteral("El fichero de origen «%1» está comprimido con gzip y se acaba "
                                  "a medias, en la línea %2: está incompleto. Vuelva a obtenerlo "
                                  "entero.")
                       .arg(ruta_)
                       .arg(Linea()));
    }
    p_ = datos;
    fin_ = datos + largo;
    return largo > 0;
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
