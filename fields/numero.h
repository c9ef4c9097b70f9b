// La única noción de número del programa: la usan la lectura de la cabecera, la exploración,
// la validación de los campos de la ventana y su conversión.
//
// Un texto es un número si se lee como tal con la configuración regional del usuario (blancos
// opcionales alrededor, signo, cifras con el separador de miles de esa configuración, su
// separador decimal y exponente) o, si no, en la forma llana: punto decimal y sin separador de
// miles. La agrupación de miles bien formada (grupos de tres cifras tras un primero de una a
// tres) vale aunque la configuración no agrupe números tan cortos: con es_ES «1.000» es mil,
// antes que uno en la forma llana. Lo que no está bien agrupado sigue yendo a la forma llana:
// con es_ES «12.5» es doce y medio, porque los ficheros de rejilla siempre usan el punto (y
// «-999.000», bien agrupado, es menos novecientos noventa y nueve mil). No son números el texto
// vacío, las palabras, «inf», «nan», «infinity» ni las formas hexadecimales.
//
// La configuración del usuario es la predeterminada de Qt (QLocale()), que sigue a la del
// sistema salvo que alguien llame a QLocale::setDefault; las pruebas la fijan así.
#pragma once

#include <QByteArrayView>
#include <QLocale>
#include <QStringView>
#include <optional>

namespace tesmalo {

// El valor del texto, o nada si no es un número (o si no cabe en un double).
std::optional<double> Leer_numero(QStringView texto, const QLocale& local = QLocale());
std::optional<double> Leer_numero(QByteArrayView texto, const QLocale& local = QLocale());

inline bool Es_numero(QStringView texto, const QLocale& local = QLocale()) {
    return Leer_numero(texto, local).has_value();
}
inline bool Es_numero(QByteArrayView texto, const QLocale& local = QLocale()) {
    return Leer_numero(texto, local).has_value();
}

// Un valor de la rejilla, como los leen los programas que leen estos ficheros: un número
// (Es_numero) o «nan», «inf» o «infinity» en cualquier caja, con un signo delante si acaso y,
// tras «nan», quizá una etiqueta entre paréntesis («-nan(ind)»). Sólo dice dónde empiezan los
// valores; las cuentas de la cabecera y las opciones siguen sin admitir «nan» ni «inf».
bool Es_valor(QByteArrayView texto, const QLocale& local = QLocale());

// Redondea al entero más próximo (una mitad exacta va al vecino par: 2.5 da 2, 3.5 da 4,
// -2.5 da -2); nada si el resultado no cabe en un entero de 32 bits con signo.
std::optional<qint32> Redondear_entero(double valor);

// Leer_numero seguido de Redondear_entero: nada si no es un número o no cabe en 32 bits.
std::optional<qint32> Leer_entero(QStringView texto, const QLocale& local = QLocale());
std::optional<qint32> Leer_entero(QByteArrayView texto, const QLocale& local = QLocale());

// Un número entero llano, como los de las opciones de la línea de órdenes: sólo cifras ASCII,
// con un signo delante si acaso, sin blancos, separadores, decimales ni exponente, y el mismo
// con cualquier configuración regional. Nada si es otra cosa o no cabe en 32 bits con signo.
std::optional<qint32> Leer_entero_llano(QStringView texto);

}  // namespace tesmalo
