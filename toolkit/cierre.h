// El cierre de la ventana también cuando una caja modal la bloquea.
#pragma once

class QWidget;

namespace tesmalo {

// Qt descarta la petición de cierre que el sistema de ventanas manda a una ventana mientras una
// caja modal la bloquea (un mensaje, el selector, la caja del destino): el usuario pulsaría el
// control de cierre de la barra de título y no pasaría nada. Con esto, esa petición cierra
// `ventana` (QWidget::close) también entonces. Sin bloqueo, el cierre sigue su camino normal.
// Sólo actúa con el sistema de ventanas X (xcb); con otra plataforma no hace nada.
// La vigilancia dura lo que la ventana.
void Cerrar_tambien_bloqueada(QWidget* ventana);

}  // namespace tesmalo
