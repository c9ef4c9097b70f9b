// La cabecera de destino: seis líneas ncols, nrows, xllcorner, yllcorner, cellsize y
// nodata_value, cada clave rellenada con espacios hasta 14 caracteres y seguida de su valor.
#pragma once

#include <QByteArray>
#include <array>
#include <string_view>

#include "conversion/lector.h"

namespace tesmalo {

struct Cabecera_destino {
    std::array<QByteArray, 6> textos;  // ya recortados; vacío si ninguna línea lo llenó
    qint32 columnas = 0;               // de la línea 1; 0 si no se leyó
    qint32 filas = 0;                  // de la línea 2; 0 si no se leyó
};

// Lee `Int_filesCap` líneas del origen (ninguna si es 0 o negativo) y deja el lector en la
// primera línea siguiente. De cada línea cuenta sólo su último campo V, y sólo por su posición:
// 1 y 2 dan ncols y nrows tal cual (y las cuentas, V redondeado a entero de 32 bits); 3 a 5 dan
// xllcorner, yllcorner y cellsize con V cortado (no redondeado) a dos decimales; 6 da
// nodata_value con la parte de V anterior al punto; de la 7 en adelante se leen y se saltan.
// El corte sólo se hace donde no cambia lo que dice la cabecera: una esquina que se movería una
// centésima de celda o más, un tamaño de celda que cambiaría una milésima de sí mismo o más, o
// un valor sin datos que perdería algo más que ceros se escriben como los tiene el origen (los
// números se leen con punto decimal). Un V de las líneas 3 a 5 sin nada tras un punto que sea
// un número se escribe tal cual; un V que no es un número y tiene punto se corta como siempre.
// Lanza si el origen tiene menos líneas, si V no es un número en la línea 1 o 2, en las
// líneas 3 a 5 sin nada tras un punto o en las líneas 3 a 6 con un tabulador (los valores
// separados por tabuladores se leen como uno solo), o si Int_filesCap pasa de 32 766.
Cabecera_destino Leer_cabecera(Lector_origen& origen, qint32 Int_filesCap);

// La cuenta de columnas o filas (`que`) de la línea `linea`: su último campo redondeado a un
// entero de 32 bits. Lanza, citando el campo, si no es un número o no cabe.
qint32 Leer_cuenta(const Lector_origen& origen, qint64 linea, const Extremos& e, const char* que);

// Para el mensaje de un campo que no es lo que se esperaba: si lleva tabuladores, una frase
// (con un espacio delante) que dice que el fichero separa sus valores con tabuladores y que
// sólo los espacios los separan; si no, nada.
QString Explicar_tabuladores(std::string_view campo);

// Las seis líneas en orden, cada una terminada en CRLF.
QByteArray Escribir_cabecera(const Cabecera_destino& cabecera);

}  // namespace tesmalo
