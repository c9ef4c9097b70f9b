#include "inspection/indicios.h"

#include <QLocale>
#include <algorithm>

#include "fields/numero.h"
#include "sistema/razones.h"

namespace tesmalo {

bool Es_coma_decimal(const std::string& campo) {
    if (std::count(campo.begin(), campo.end(), ',') != 1) return false;
    const QByteArrayView texto(campo.data(), qsizetype(campo.size()));
    if (Es_valor(texto)) return false;
    std::string con_punto = campo;
    std::replace(con_punto.begin(), con_punto.end(), ',', '.');
    return Leer_numero(QByteArrayView(con_punto.data(), qsizetype(con_punto.size())), QLocale::c())
        .has_value();
}

void Indicios_origen::Mirar(qint64 linea, const Extremos& e) {
    const auto nulos = [](const std::string& campo, bool largo) {
        return !largo && campo.find('\0') != std::string::npos;
    };
    if (linea == 1 && !e.primero_largo) {
        marca_utf16_ = e.primero.starts_with("\xff\xfe") || e.primero.starts_with("\xfe\xff");
        surfer_ = e.primero == "DSAA";
    }
    if (linea_nulos_ == 0 && (nulos(e.primero, e.primero_largo) || nulos(e.ultimo, e.ultimo_largo)))
        linea_nulos_ = linea;
    if (linea_coma_ == 0 && !e.primero_largo && Es_coma_decimal(e.primero)) {
        linea_coma_ = linea;
        campo_coma_ = e.primero;
    }
}

QString Indicios_origen::Explicar(const QString& ruta) const {
    const QString guardar = QStringLiteral(
        "guárdelo como texto de 8 bits (ASCII, Latin-1 o UTF-8; por ejemplo, con «iconv -f "
        "UTF-16 -t UTF-8 ORIGEN > NUEVO») y convierta el nuevo.");
    if (marca_utf16_)
        return QStringLiteral(
                   "El fichero «%1» está en UTF-16 (empieza por una marca de orden de "
                   "bytes), y las rejillas se leen como texto de 8 bits: %2")
            .arg(ruta, guardar);
    if (linea_nulos_ != 0)
        return QStringLiteral(
                   "El fichero «%1» no es texto de 8 bits: su línea %2 tiene bytes "
                   "nulos, como el texto en UTF-16; si lo es, %3")
            .arg(ruta)
            .arg(linea_nulos_)
            .arg(guardar);
    if (surfer_)
        return QStringLiteral(
                   "El fichero «%1» es una rejilla de Surfer en texto (su línea 1 es "
                   "«DSAA»), no una rejilla ASCII de Esri: su cabecera es otra y guarda "
                   "las filas de sur a norte, así que copiar sus valores daría la "
                   "rejilla invertida. Expórtela como rejilla ASCII de Esri desde el "
                   "programa que la hizo o con un programa SIG, y convierta esa.")
            .arg(ruta);
    if (linea_coma_ != 0)
        return QStringLiteral(
                   "La línea %1 de «%2» empieza por «%3», un número con coma decimal, "
                   "y la configuración regional en uso (%4) no lee la coma como "
                   "separador decimal: no se sabe dónde empiezan los valores. "
                   "Conviértalo con una configuración regional de coma decimal (por "
                   "ejemplo, LANG=es_ES.UTF-8) o cambie en él las comas decimales por "
                   "puntos.")
            .arg(linea_coma_)
            .arg(ruta, Citar(campo_coma_), QLocale().name());
    return {};
}

QString Explicar_principio(Lector_origen& origen) {
    Indicios_origen indicios;
    Extremos e;
    for (qint64 linea = 1; linea <= 2 && !origen.Al_final(); ++linea) {
        origen.Leer_extremos(e);
        indicios.Mirar(linea, e);
    }
    return indicios.Explicar(origen.Ruta());
}

}  // namespace tesmalo
