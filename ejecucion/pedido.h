// Un pedido de conversión: lo que la ventana, la conversión suelta de tesmalo-cli y cada trabajo
// de un lote dan para convertir una rejilla, en un solo sitio, y la única entrada que lo
// atiende. Un ajuste nuevo de la conversión es un campo más aquí (con su valor por omisión), lo
// que hace con él Convertir_pedido y el frente que lo muestra; nada más cambia.
#pragma once

#include <QString>
#include <optional>

#include "conversion/transformar.h"

namespace tesmalo {

struct Pedido_conversion {
    // La rejilla de origen; «-» es la entrada estándar. Por omisión, ninguna. Un origen
    // comprimido con gzip no se pide: lo dicen sus primeros bytes, y se lee descomprimido.
    QString origen;

    // La rejilla de destino; «-» es la salida estándar. Por omisión, ninguna (la conversión
    // falla): no se propone aquí, quien pide ya lo hizo (Proponer_destino, o el plan del lote).
    QString destino;

    // Las líneas de cabecera del origen, sus columnas y sus filas (éstas sólo escalan el
    // progreso). Por omisión, ninguna: las que falten salen de la cabecera del origen, como en
    // Preparar_origen.
    std::optional<qint32> cabecera;
    std::optional<qint32> columnas;
    std::optional<qint32> filas;
};

// Atiende `pedido`: prepara su origen (Preparar_origen: lo abre y busca las cuentas que falten)
// y lo convierte con Transfromar_cab y `progreso`. Devuelve y lanza lo mismo que ellas.
Resumen_conversion Convertir_pedido(const Pedido_conversion& pedido,
                                    const Operaciones_progreso& progreso);

}  // namespace tesmalo
