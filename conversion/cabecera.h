// La cabecera de destino: ncols, nrows, la esquina (o el centro) inferior izquierda, el tamaño de
// celda y nodata_value, cada clave rellenada con espacios hasta 14 caracteres y seguida de su
// valor.
#pragma once

#include <QByteArray>
#include <QList>
#include <string_view>

#include "conversion/lector.h"

namespace tesmalo {

struct Cabecera_destino {
    QList<QByteArray> textos;  // las líneas en orden, ya recortadas
    qint32 columnas = 0;       // de la línea de ncols; 0 si no se leyó
    qint32 filas = 0;          // de la línea de nrows; 0 si no se leyó
    // El campo de los valores que marca una celda sin datos y no es el valor sin datos escrito
    // («*» en una rejilla GRASS), y el texto que lo sustituye; vacíos si no hay que cambiar nada.
    QByteArray marca_nula, sustituto_nulo;
    // Verdadero si el sustituto lo eligió la lectura (no había null:): un valor de la rejilla
    // igual a él es un error.
    bool sustituto_elegido = false;
};

// Lee `Int_filesCap` líneas del origen (ninguna si es 0 o negativo) y deja el lector en la
// primera línea siguiente. De cada línea cuenta su último campo V.
//
// Una línea cuyo primer campo es una clave de Esri (ncols, nrows, xllcorner, yllcorner,
// xllcenter, yllcenter, cellsize, dx, dy, nodata_value, en mayúsculas o minúsculas) da el valor
// de esa clave esté donde esté. Una línea sin clave, o con otra palabra delante, vale por su
// posición: 1 y 2 dan ncols y nrows; 3 a 5, xllcorner, yllcorner y cellsize; 6, nodata_value;
// de la 7 en adelante se leen y se saltan. Si cada clave está en la línea de su posición (la
// cabecera de siempre), salen seis líneas y la que ninguna línea llenó queda vacía. Si no, falta
// ncols, nrows, la esquina o el centro, o el tamaño de celda es un error que nombra la clave, y
// sin nodata_value no se escribe esa línea. Dos líneas con la misma clave son un error que
// nombra las dos. Con dx y dy iguales como números sale una línea cellsize; si no, dx y dy.
//
// Una cabecera GRASS (north:, south:, east:, west:, rows:, cols: y, si acaso, null:, type: y
// multiplier:) da la misma rejilla: la esquina es west/south, la celda (east − west) / cols y
// (north − south) / rows, y el valor sin datos el de null:, o −2147483648 si no lo hay; «*» en
// los valores es una celda sin datos (marca_nula). Un multiplier: que no es 1 se rechaza.
//
// ncols y nrows se escriben tal cual (y dan las cuentas, V redondeado a entero de 32 bits). Las
// esquinas, los centros y la celda se cortan (no se redondean) a dos decimales, y nodata_value a
// la parte anterior al punto, sólo donde eso no cambia lo que dice la cabecera: la esquina se
// mueve menos de una centésima de celda, la celda cambia menos de una milésima de sí misma y,
// multiplicado el cambio por las columnas y por las filas, menos de una centésima de celda; el
// valor sin datos sólo pierde ceros. Si no, se escriben como los tiene el origen (los números
// se leen con punto decimal). Un valor sin nada tras un punto que sea un número se escribe tal
// cual; uno que no es un número y tiene punto se corta como siempre.
//
// Lanza si el origen tiene menos líneas, si V no es un número en la línea de ncols o nrows, en
// las de esquina o celda sin nada tras un punto, o si Int_filesCap pasa de 32 766.
Cabecera_destino Leer_cabecera(Lector_origen& origen, qint32 Int_filesCap);

// Qué cuenta da una línea de cabecera por su primer campo: ninguna clave (vale su posición),
// ncols o cols:, nrows o rows:, u otra clave de Esri o GRASS (no da cuenta ni vale su posición).
// `pegado` es el valor que un campo como «cols:200» lleva pegado tras los dos puntos.
struct Clave_cuenta {
    enum class Tipo { Ninguna, Columnas, Filas, Otra } tipo = Tipo::Ninguna;
    std::string_view pegado;
    bool grass = false;  // una clave GRASS: «*» abre los valores como un número
};
Clave_cuenta Reconocer_cuenta(std::string_view primero);

// La cuenta de columnas o filas (`que`) de la línea `linea`: su último campo redondeado a un
// entero de 32 bits. Lanza, citando el campo, si no es un número o no cabe.
qint32 Leer_cuenta(const Lector_origen& origen, qint64 linea, const Extremos& e, const char* que);
qint32 Leer_cuenta(const Lector_origen& origen, qint64 linea, std::string_view valor, bool largo,
                   const char* que);

// Las líneas en orden, cada una terminada en CRLF.
QByteArray Escribir_cabecera(const Cabecera_destino& cabecera);

}  // namespace tesmalo
