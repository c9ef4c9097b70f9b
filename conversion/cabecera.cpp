#include "conversion/cabecera.h"

#include <cmath>
#include <optional>

#include "fields/campos.h"
#include "fields/numero.h"

namespace tesmalo {
namespace {

constexpr const char* Claves[6] = {"ncols",     "nrows",    "xllcorner",
                                   "yllcorner", "cellsize", "nodata_value"};

// El contador de líneas de la cabecera es un entero de 16 bits con signo.
constexpr qint32 Maximo_lineas_cabecera = 32766;

QByteArray Linea_cabecera(int indice, QByteArrayView valor) {
    return Recortar(Rellenar_texto(Claves[indice], 14, " ").append(valor)).toByteArray();
}

// El valor de un número de la cabecera tal como lo escribe un fichero de rejilla: con punto
// decimal, sea cual sea la configuración del usuario (el corte también parte por el punto).
std::optional<double> Valor_llano(QByteArrayView texto) {
    return Leer_numero(texto, QLocale::c());
}

// Un valor de las líneas 3 a 6: el texto del origen y su forma cortada.
struct Valor_cortable {
    QByteArray origen, cortado;
    bool leido = false;
};

// Verdadero si escribir `v.cortado` en vez de `v.origen` no cambia el número en `tolerancia` o
// más. Un origen que no es un número no se puede medir, y se corta como siempre; un corte que
// deja de ser un número («258.5e3» da «258.5e») no es inofensivo.
bool Corte_inofensivo(const Valor_cortable& v, std::optional<double> tolerancia) {
    const auto origen = Valor_llano(v.origen);
    if (!origen) return true;
    const auto cortado = Valor_llano(v.cortado);
    if (!cortado) return false;
    const double cambio = std::abs(*cortado - *origen);
    return cambio == 0 || (tolerancia && cambio < *tolerancia);
}

}  // namespace

QString Explicar_tabuladores(std::string_view campo) {
    if (campo.find('\t') == std::string_view::npos) return {};
    return QStringLiteral(
        " Sus valores están separados por tabuladores, y sólo los espacios "
        "separan valores: cambie los tabuladores por espacios.");
}

qint32 Leer_cuenta(const Lector_origen& origen, qint64 linea, const Extremos& e, const char* que) {
    const auto cuenta = e.ultimo_largo ? std::nullopt : Leer_entero(QByteArrayView(e.ultimo));
    if (!cuenta)
        Fallar(QStringLiteral("La línea %1 de «%2» debe terminar en el número de %3 (un entero de "
                              "32 bits), pero termina en «%4».%5")
                   .arg(linea)
                   .arg(origen.Ruta(), QLatin1String(que), Citar(e.ultimo),
                        Explicar_tabuladores(e.ultimo)));
    return *cuenta;
}

Cabecera_destino Leer_cabecera(Lector_origen& origen, qint32 Int_filesCap) {
    if (Int_filesCap > Maximo_lineas_cabecera)
        Fallar(QStringLiteral("El número de líneas de cabecera (%1) no puede pasar de %2.")
                   .arg(Int_filesCap)
                   .arg(Maximo_lineas_cabecera));
    Cabecera_destino cabecera;
    std::array<Valor_cortable, 4> cortables;  // líneas 3 a 6
    Extremos e;
    for (qint32 n = 1; n <= Int_filesCap; ++n) {
        if (origen.Al_final())
            Fallar(QStringLiteral("El fichero de origen «%1» se acaba en la línea %2, antes de las "
                                  "%3 líneas de cabecera indicadas.")
                       .arg(origen.Ruta())
                       .arg(n - 1)
                       .arg(Int_filesCap));
        origen.Leer_extremos(e);
        if (n > 6) continue;
        if (e.ultimo_largo)
            Fallar(QStringLiteral("El valor de la línea %1 de «%2» es demasiado largo.")
                       .arg(n)
                       .arg(origen.Ruta()));
        const QByteArrayView V(e.ultimo);
        switch (n) {
            case 1:
                cabecera.columnas = Leer_cuenta(origen, n, e, "columnas");
                cabecera.textos[0] = Linea_cabecera(0, V);
                break;
            case 2:
                cabecera.filas = Leer_cuenta(origen, n, e, "filas");
                cabecera.textos[1] = Linea_cabecera(1, V);
                break;
            case 3:
            case 4:
            case 5:
            case 6: {
                // El corte parte por el punto: el valor hasta el primer punto y, salvo en la
                // línea 6, dos caracteres de lo que le sigue.
                const auto no_es_numero = [&] {
                    Fallar(QStringLiteral("La línea %1 de «%2» debe terminar en un número (%3), "
                                          "pero termina en «%4».%5")
                               .arg(n)
                               .arg(origen.Ruta(), QLatin1String(Claves[n - 1]), Citar(e.ultimo),
                                    Explicar_tabuladores(e.ultimo)));
                };
                // Con tabuladores, la clave y el valor son un solo campo: cortado, daría una
                // línea con la clave dos veces y un tabulador en medio.
                if (V.contains('\t') && !Es_numero(V)) no_es_numero();
                const QList<QByteArray> P = Separar_campos(V, '.');
                Valor_cortable& v = cortables[n - 3];
                v.origen = V.toByteArray();
                v.leido = true;
                if (n == 6) {
                    v.cortado = P[0];
                } else if (P.size() >= 2) {
                    v.cortado = P[0] + '.' + P[1].left(2);
                } else if (Es_numero(V)) {
                    v.cortado = v.origen;  // sin nada tras un punto que cortar: tal cual
                } else {
                    no_es_numero();
                }
                break;
            }
        }
    }

    // El corte se queda donde no cambia lo que dice la cabecera: la esquina se mueve menos de
    // una centésima de celda, el tamaño de celda cambia menos de una milésima de sí mismo y el
    // valor sin datos sólo pierde ceros. Donde cambiaría (rejillas en grados, un valor sin
    // datos con decimales o exponente), se escribe el valor del origen tal cual.
    const Valor_cortable& celda = cortables[2];
    std::optional<double> centesima_celda;
    if (const auto tamano = celda.leido ? Valor_llano(celda.origen) : std::nullopt)
        centesima_celda = std::abs(*tamano) / 100;
    for (int i = 0; i < 4; ++i) {
        const Valor_cortable& v = cortables[i];
        if (!v.leido) continue;
        std::optional<double> tolerancia;
        if (i < 2) tolerancia = centesima_celda;
        if (i == 2 && centesima_celda) tolerancia = *centesima_celda / 10;
        cabecera.textos[i + 2] =
            Linea_cabecera(i + 2, Corte_inofensivo(v, tolerancia) ? v.cortado : v.origen);
    }
    return cabecera;
}

QByteArray Escribir_cabecera(const Cabecera_destino& cabecera) {
    QByteArray texto;
    for (const QByteArray& linea : cabecera.textos) texto += linea + "\r\n";
    return texto;
}

}  // namespace tesmalo
