// La petición del destino: propone dónde escribir la rejilla reestructurada y deja que el usuario
// lo confirme o lo cambie.
#pragma once

#include <QString>

#include "inspection/destino.h"
#include "toolkit/herramientas.h"

class QWidget;

namespace tesmalo {

// Propone el destino de `Ruta_origen` (Proponer_destino) y lo muestra en la caja de texto de
// `herramientas`, con la indicación "Modificar aquello que corresponda" y el título
// "Fichero_destino", sobre `padre`. Devuelve Carpeta_origen y, como Ruta_destino, el texto tal
// como lo dejó el usuario: sin recortar y sin comprobar nada; vacío si canceló. No muestra
// ningún mensaje. Si la propuesta no se puede formar (nombre de menos de cuatro caracteres),
// lanza su std::runtime_error antes de abrir la caja.
Propuesta_destino Obtener_destino(const QString& Ruta_origen,
                                  const Herramientas_ventana& herramientas,
                                  QWidget* padre = nullptr);

}  // namespace tesmalo
