#include "dialog/obtener_destino.h"

using namespace Qt::StringLiterals;

namespace tesmalo {

Propuesta_destino Obtener_destino(const QString& Ruta_origen,
                                  const Herramientas_ventana& herramientas, QWidget* padre) {
    const Propuesta_destino propuesta = Proponer_destino(Ruta_origen);
    const QString Ruta_destino =
        herramientas.Pedir_texto(padre, u"Modificar aquello que corresponda"_s,
                                 u"Fichero_destino"_s, propuesta.Ruta_destino);
    return {propuesta.Carpeta_origen, Ruta_destino};
}

}  // namespace tesmalo
