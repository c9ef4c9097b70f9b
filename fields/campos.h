// Utilidades de texto de campos: partir una línea en campos, rellenar una clave y unir una fila.
// Los textos son de 8 bits (la página de códigos del sistema) y se manejan como bytes: un
// carácter es un byte, y nada se decodifica ni se transforma.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace tesmalo {

// Quita los blancos (el espacio 0x20 y el tabulador 0x09) del principio y del final.
QByteArrayView Recortar(QByteArrayView texto);

// Parte `texto` en campos separados por `delimitador`. El delimitador " " es cualquier blanco:
// un espacio o un tabulador, como los lee el lector de rejillas (conversion/lector.h).
// El texto se recorta primero. Un delimitador al principio o una racha de delimitadores no
// dan campos vacíos, pero lo que queda tras el último delimitador es siempre el último campo,
// aunque esté vacío («258.» con "." da «258», «»). Un texto vacío o de sólo blancos da una
// lista de un elemento, el texto vacío. Nunca devuelve una lista vacía.
QList<QByteArray> Separar_campos(QByteArrayView texto, char delimitador);

// Añade `relleno` por la derecha hasta que el texto tenga al menos `ancho` caracteres.
// Un texto que ya alcanza el ancho vuelve sin cambios: nunca se corta. `relleno` no puede
// estar vacío.
QByteArray Rellenar_texto(QByteArray texto, qint16 ancho, QByteArrayView relleno);

// Une los elementos en orden, con `delimitador` entre cada dos; no recorta nada.
QByteArray Unir_campos(const QList<QByteArray>& campos, QByteArrayView delimitador);

}  // namespace tesmalo
