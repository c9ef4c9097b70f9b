// La barra de progreso de tesmalo-cli en stderr, la misma para una conversión y para un lote.
#pragma once

#include <QByteArray>

namespace tesmalo_cli {

// Casillas de la barra.
constexpr int Ancho_barra = 40;

// Vuelve al principio de la línea de stderr ('\r') y dibuja "[####----] NNN%" seguido de
// `cola`: una casilla llena por cada 100/Ancho_barra de `porcentaje`, todas pasado el 100.
void Dibujar_barra(int porcentaje, const QByteArray& cola = {});

}  // namespace tesmalo_cli
