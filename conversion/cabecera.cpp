#include "conversion/cabecera.h"

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

}  // namespace

qint32 Leer_cuenta(const Lector_origen& origen, qint64 linea, const Extremos& e, const char* que) {
    const auto cuenta = e.ultimo_largo ? std::nullopt : Leer_entero(QByteArrayView(e.ultimo));
    if (!cuenta)
        Fallar(QStringLiteral("La línea %1 de «%2» debe terminar en el número de %3 (un entero de "
                              "32 bits), pero termina en «%4».")
                   .arg(linea)
                   .arg(origen.Ruta(), QLatin1String(que), Citar(e.ultimo)));
    return *cuenta;
}

Cabecera_destino Leer_cabecera(Lector_origen& origen, qint32 Int_filesCap) {
    if (Int_filesCap > Maximo_lineas_cabecera)
        Fallar(QStringLiteral("El número de líneas de cabecera (%1) no puede pasar de %2.")
                   .arg(Int_filesCap)
                   .arg(Maximo_lineas_cabecera));
    Cabecera_destino cabecera;
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
            case 5: {
                const QList<QByteArray> P = Separar_campos(V, '.');
                if (P.size() < 2)
                    Fallar(QStringLiteral("La línea %1 de «%2» debe terminar en un número con "
                                          "decimales tras un punto (%3), pero termina en «%4».")
                               .arg(n)
                               .arg(origen.Ruta(), QLatin1String(Claves[n - 1]), Citar(e.ultimo)));
                cabecera.textos[n - 1] = Linea_cabecera(n - 1, P[0] + '.' + P[1].left(2));
                break;
            }
            case 6:
                cabecera.textos[5] = Linea_cabecera(5, Separar_campos(V, '.')[0]);
                break;
        }
    }
    return cabecera;
}

QByteArray Escribir_cabecera(const Cabecera_destino& cabecera) {
    QByteArray texto;
    for (const QByteArray& linea : cabecera.textos) texto += linea + "\r\n";
    return texto;
}

}  // namespace tesmalo
