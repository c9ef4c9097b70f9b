#include "fields/numero.h"

#include <QString>
#include <charconv>
#include <cmath>
#include <limits>

namespace tesmalo {
namespace {

bool Es_blanco(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v';
}
bool Es_cifra(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Forma llana: [blancos] [signo] cifras [. cifras] [e [signo] cifras] [blancos], con al menos
// una cifra en la mantisa. Sólo ASCII, así que se puede pasar a bytes y leer con from_chars,
// que no depende de la configuración regional de C.
std::optional<double> Leer_forma_llana(QStringView texto) {
    qsizetype i = 0, n = texto.size();
    while (i < n && Es_blanco(texto[i].unicode())) ++i;
    while (n > i && Es_blanco(texto[n - 1].unicode())) --n;
    const qsizetype inicio = i;
    if (i < n && (texto[i] == u'+' || texto[i] == u'-')) ++i;
    qsizetype cifras = 0;
    while (i < n && Es_cifra(texto[i].unicode())) ++i, ++cifras;
    if (i < n && texto[i] == u'.') {
        ++i;
        while (i < n && Es_cifra(texto[i].unicode())) ++i, ++cifras;
    }
    if (cifras == 0) return std::nullopt;
    if (i < n && (texto[i] == u'e' || texto[i] == u'E')) {
        ++i;
        if (i < n && (texto[i] == u'+' || texto[i] == u'-')) ++i;
        qsizetype exponente = 0;
        while (i < n && Es_cifra(texto[i].unicode())) ++i, ++exponente;
        if (exponente == 0) return std::nullopt;
    }
    if (i != n) return std::nullopt;

    QByteArray ascii = texto.sliced(inicio, n - inicio).toLatin1();
    // from_chars no admite el signo '+'.
    const char* primero = ascii.constData();
    if (*primero == '+') ++primero;
    double valor = 0;
    const auto [fin, error] = std::from_chars(primero, ascii.constData() + ascii.size(), valor);
    if (error != std::errc() || fin != ascii.constData() + ascii.size() || !std::isfinite(valor))
        return std::nullopt;
    return valor;
}

// Qt no acepta la agrupación de miles que su configuración no escribiría: con es_ES, que sólo
// agrupa a partir de cinco cifras, rechaza «1.000» y «1.234,5». Aquí se acepta toda agrupación
// bien formada de la configuración: la parte entera en grupos separados por su separador de
// miles, el primero de una a tres cifras y los demás de tres exactas. Se quitan los separadores
// y el resto lo lee QLocale, que comprueba signo, decimales y exponente.
std::optional<double> Leer_con_grupos(QStringView texto, const QLocale& local) {
    const QString grupo = local.groupSeparator();
    if (grupo.isEmpty() || (local.numberOptions() & QLocale::RejectGroupSeparator) ||
        !texto.contains(grupo))
        return std::nullopt;
    qsizetype inicio = 0;
    while (inicio < texto.size() && !texto[inicio].isDigit()) ++inicio;
    qsizetype fin = inicio, cifras_grupo = 0, grupos = 0;
    for (;;) {
        while (fin < texto.size() && texto[fin].isDigit()) ++fin, ++cifras_grupo;
        const bool primero = grupos == 0;
        if (cifras_grupo == 0 || cifras_grupo > 3 || (!primero && cifras_grupo != 3))
            return std::nullopt;
        if (!texto.sliced(fin).startsWith(grupo)) break;
        fin += grupo.size();
        cifras_grupo = 0;
        ++grupos;
    }
    if (grupos == 0) return std::nullopt;
    QString sin_grupos = texto.first(inicio).toString();
    sin_grupos += texto.sliced(inicio, fin - inicio).toString().remove(grupo);
    sin_grupos += texto.sliced(fin);
    bool correcto = false;
    const double valor = local.toDouble(sin_grupos, &correcto);
    if (correcto && std::isfinite(valor)) return valor;
    return std::nullopt;
}

bool Tiene_cifra(QStringView texto) {
    for (QChar c : texto)
        if (c.isDigit()) return true;
    return false;
}

}  // namespace

std::optional<double> Leer_numero(QStringView texto, const QLocale& local) {
    bool correcto = false;
    const double valor = local.toDouble(texto, &correcto);
    // QLocale acepta también «inf» y «nan»: un número de verdad lleva alguna cifra y es finito.
    if (correcto && std::isfinite(valor) && Tiene_cifra(texto)) return valor;
    if (const auto agrupado = Leer_con_grupos(texto, local)) return agrupado;
    return Leer_forma_llana(texto);
}

std::optional<double> Leer_numero(QByteArrayView texto, const QLocale& local) {
    return Leer_numero(QString::fromLatin1(texto), local);
}

bool Es_valor(QByteArrayView texto, const QLocale& local) {
    if (Es_numero(texto, local)) return true;
    QByteArrayView t = texto;
    if (!t.isEmpty() && (t[0] == '+' || t[0] == '-')) t = t.sliced(1);
    const auto empieza = [&](QByteArrayView palabra) {
        return t.size() >= palabra.size() &&
               t.first(palabra.size()).compare(palabra, Qt::CaseInsensitive) == 0;
    };
    if (empieza("infinity")) return t.size() == 8;
    if (empieza("inf")) return t.size() == 3;
    if (!empieza("nan")) return false;
    if (t.size() == 3) return true;
    // «nan(etiqueta)»: letras, cifras y subrayados entre los paréntesis.
    if (t[3] != '(' || !t.endsWith(')')) return false;
    for (const char c : t.sliced(4, t.size() - 5))
        if (!Es_cifra(char16_t(c)) && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') &&
            c != '_')
            return false;
    return true;
}

std::optional<qint32> Redondear_entero(double valor) {
    if (!std::isfinite(valor)) return std::nullopt;
    // nearbyint redondea según el modo vigente, que es «al más próximo, mitades al par».
    const double redondeado = std::nearbyint(valor);
    if (redondeado < std::numeric_limits<qint32>::min() ||
        redondeado > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(redondeado);
}

std::optional<qint32> Leer_entero(QStringView texto, const QLocale& local) {
    const auto valor = Leer_numero(texto, local);
    return valor ? Redondear_entero(*valor) : std::nullopt;
}

std::optional<qint32> Leer_entero(QByteArrayView texto, const QLocale& local) {
    return Leer_entero(QString::fromLatin1(texto), local);
}

std::optional<qint32> Leer_entero_llano(QStringView texto) {
    qsizetype i = 0;
    const bool negativo = !texto.isEmpty() && texto[0] == u'-';
    if (!texto.isEmpty() && (texto[0] == u'+' || negativo)) ++i;
    if (i == texto.size()) return std::nullopt;
    for (qsizetype j = i; j < texto.size(); ++j)
        if (!Es_cifra(texto[j].unicode())) return std::nullopt;
    // Sólo cifras ASCII: se leen con from_chars, sin configuración regional.
    const QByteArray cifras = (negativo ? QByteArray("-") : QByteArray()) + texto.mid(i).toLatin1();
    qint32 valor = 0;
    const auto [fin, error] =
        std::from_chars(cifras.constData(), cifras.constData() + cifras.size(), valor);
    if (error != std::errc() || fin != cifras.constData() + cifras.size()) return std::nullopt;
    return valor;
}

}  // namespace tesmalo
