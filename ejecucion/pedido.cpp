#include "ejecucion/pedido.h"

#include "conversion/lector.h"
#include "inspection/explorar.h"

namespace tesmalo {

Resumen_conversion Convertir_pedido(const Pedido_conversion& pedido,
                                    const Operaciones_progreso& progreso) {
    Origen_preparado o =
        Preparar_origen(pedido.origen, pedido.cabecera, pedido.columnas, pedido.filas);
    return Transfromar_cab(o.cabecera, o.columnas, o.filas, *o.lector, pedido.destino, progreso);
}

}  // namespace tesmalo
