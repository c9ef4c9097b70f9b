// Fuzzing de la noción de número (fields/numero.h).
//
// Entrada: un byte que elige la configuración regional y el texto. Propiedades:
// - ningún texto hace fallar a Leer_numero ni a Leer_entero, lo lea como bytes o como texto;
// - las versiones de bytes y de texto (Latin-1) dan lo mismo;
// - un número leído es finito y su texto lleva alguna cifra ASCII;
// - Leer_entero es Leer_numero seguido de Redondear_entero;
// - Redondear_entero da el entero más próximo, las mitades al par, y nada fuera de 32 bits
//   (comprobado con una cuenta propia, no con la misma función);
// - un número escrito por la configuración regional (o en la forma llana con la configuración C)
//   se vuelve a leer igual.
#include <QLocale>
#include <QString>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "fields/numero.h"
#include "fuzz/apoyo.h"

using tesmalo::fuzz::Exigir;

namespace {

QLocale Configuracion(std::uint8_t eleccion) {
    switch (eleccion % 6) {
        case 0:
            return QLocale::c();
        case 1:
            return QLocale(QLocale::Spanish, QLocale::Spain);
        case 2:
            return QLocale(QLocale::English, QLocale::UnitedStates);
        case 3:
            return QLocale(QLocale::German, QLocale::Germany);
        case 4:
            return QLocale(QLocale::French, QLocale::France);
        default:
            return QLocale(QLocale::Spanish, QLocale::Mexico);
    }
}

// El entero más próximo, las mitades al par, calculado sin nearbyint.
std::optional<qint32> Redondeo_esperado(double v) {
    const double abajo = std::floor(v);
    const double resto = v - abajo;
    double r = abajo;
    if (resto > 0.5 || (resto == 0.5 && std::fmod(abajo, 2.0) != 0.0)) r = abajo + 1;
    if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
    return static_cast<qint32>(r);
}

QString Describir(const QByteArray& texto, const QLocale& local) {
    return QStringLiteral("texto «%1» (hex %2), configuración %3")
        .arg(QString::fromLatin1(texto), QString::fromLatin1(texto.toHex()), local.name());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    if (largo < 1) return 0;
    const QLocale local = Configuracion(datos[0]);
    const QByteArray texto(reinterpret_cast<const char*>(datos + 1), qsizetype(largo - 1));
    const QString detalle = Describir(texto, local);

    const std::optional<double> de_bytes = tesmalo::Leer_numero(QByteArrayView(texto), local);
    const std::optional<double> de_texto =
        tesmalo::Leer_numero(QStringView(QString::fromLatin1(texto)), local);
    Exigir(de_bytes.has_value() == de_texto.has_value() &&
               (!de_bytes || std::memcmp(&*de_bytes, &*de_texto, sizeof(double)) == 0),
           "bytes y texto se leen distinto", detalle);

    // El mismo texto leído como UTF-8 puede traer caracteres de fuera de Latin-1: no debe fallar.
    const auto de_utf8 = tesmalo::Leer_numero(QStringView(QString::fromUtf8(texto)), local);
    Exigir(!de_utf8 || std::isfinite(*de_utf8), "un número UTF-8 no finito", detalle);

    const std::optional<qint32> entero = tesmalo::Leer_entero(QByteArrayView(texto), local);
    if (!de_bytes) {
        Exigir(!entero, "Leer_entero lee lo que Leer_numero no lee", detalle);
        return 0;
    }
    const double v = *de_bytes;
    Exigir(std::isfinite(v), "un número no finito", detalle);
    bool cifra = false;
    for (char c : texto) cifra = cifra || (c >= '0' && c <= '9');
    Exigir(cifra, "un número sin ninguna cifra", detalle);

    const std::optional<qint32> redondeo = tesmalo::Redondear_entero(v);
    Exigir(redondeo == Redondeo_esperado(v), "redondeo distinto del esperado",
           detalle + QStringLiteral(", valor %1").arg(v, 0, 'g', 17));
    Exigir(entero == redondeo, "Leer_entero no es Leer_numero más Redondear_entero", detalle);
    Exigir(tesmalo::Leer_entero(QStringView(QString::fromLatin1(texto)), local) == entero,
           "Leer_entero de bytes y de texto distintos", detalle);

    // Ida y vuelta por la escritura de la configuración regional.
    const QString escrito = local.toString(v, 'g', QLocale::FloatingPointShortest);
    const auto releido = tesmalo::Leer_numero(QStringView(escrito), local);
    Exigir(releido && *releido == v, "el número escrito por la configuración no se relee igual",
           detalle + QStringLiteral(", escrito «%1»").arg(escrito));
    // Y por la forma llana, que con la configuración C es la única.
    if (local.language() == QLocale::C) {
        char llano[64];
        const auto [fin, error] = std::to_chars(llano, llano + sizeof llano, v);
        Exigir(error == std::errc(), "to_chars falló", detalle);
        const auto otra = tesmalo::Leer_numero(QByteArrayView(llano, fin - llano), local);
        Exigir(otra && *otra == v, "la forma llana no se relee igual",
               detalle + QStringLiteral(", escrito «%1»").arg(QLatin1String(llano, fin - llano)));
    }
    return 0;
}
