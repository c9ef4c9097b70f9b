// La exploración de la cabecera: qué dice la cabeza de un fichero de rejilla, sin efectos.
#pragma once

#include <QString>
#include <memory>
#include <optional>

#include "conversion/lector.h"

namespace tesmalo {

struct Datos_cabecera {
    qint16 lineas_cabecera = 0;  // líneas leídas antes de la primera línea de valores
    qint32 columnas = 0;  // último campo de la línea 1, redondeado; 0 si no se llegó a ella
    qint32 filas = 0;     // último campo de la línea 2, redondeado; 0 si no se llegó a ella
};

// Lee `Ruta_origen` desde arriba hasta la primera línea cuyo primer campo es un valor (un
// número, o «nan» o «inf»: Es_valor), y
// devuelve cuántas líneas la preceden y las cuentas de columnas y filas de las líneas 1 y 2
// (siempre su último campo, aunque esa línea resulte ser ya de valores). No lee los valores.
// Lanza std::runtime_error con un mensaje en español si el fichero no se puede leer, si no es
// un fichero normal (no se podría leer otra vez para convertirlo), si se
// acaba antes de una línea de valores, si el último campo de la línea 1 o 2 no es un número de
// 32 bits, o si la cabecera pasa de 32 765 líneas. Si lo leído muestra la causa (texto en
// UTF-16, una rejilla de Surfer, números con coma decimal que la configuración regional en uso
// no lee), el mensaje la dice en su lugar (Indicios_origen); una línea de cabecera que empieza
// por uno de esos números también lanza, porque los valores empezarían antes.
Datos_cabecera Explorar_cabecera(const QString& Ruta_origen);

// Lo mismo con un origen ya abierto, desde la línea en que esté (la primera, si no se ha leído
// nada); los mensajes lo nombran con su ruta. Deja el lector tras lo leído.
Datos_cabecera Explorar_cabecera(Lector_origen& origen);

// Un origen abierto para convertirlo, en su primera línea, y las tres cuentas con que se
// convierte: las dadas y, las que falten, de su cabecera.
struct Origen_preparado {
    std::unique_ptr<Lector_origen> lector;
    qint32 cabecera = 0, columnas = 0, filas = 0;
};

// Abre `ruta` («-» es la entrada estándar) y, si falta alguna cuenta, la busca y vuelve a su
// principio. Con `cabecera` de 2 o más, las columnas y las filas que falten salen de esas
// líneas, leídas como las lee la conversión (Leer_cabecera), sin explorar; si no, de explorar
// la cabecera. Un fichero normal se abre una sola vez y se lee otra vez desde el principio; un
// origen que sólo se lee una vez (una tubería, un FIFO) guarda lo que se consume así, que la
// conversión lee antes que el resto (Lector_origen::Retener). Lanza como Lector_origen,
// Leer_cabecera y Explorar_cabecera.
Origen_preparado Preparar_origen(const QString& ruta, std::optional<qint32> cabecera,
                                 std::optional<qint32> columnas, std::optional<qint32> filas);

// Abre `ruta` para leerla; «-» es la entrada estándar del proceso, como en las órdenes de la
// línea de órdenes.
std::unique_ptr<Lector_origen> Abrir_origen(const QString& ruta);

// Verdadero si `ruta` existe y no es un fichero normal ni una carpeta (una tubería, un FIFO, un
// dispositivo): sólo se puede leer una vez, así que no se puede explorar antes de convertir.
// No lo abre (abrir un FIFO sin escritor no vuelve).
bool Se_lee_una_vez(const QString& ruta);

}  // namespace tesmalo
