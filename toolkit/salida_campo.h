// Aviso antes de que el foco salga de un campo de texto, con la posibilidad de impedirlo.
#pragma once

#include <functional>

class QLineEdit;

namespace tesmalo {

// Llama a `manejador(Cancel)`, con Cancel a falso, justo antes de que el foco pase de `campo`
// a otro control de su ventana: por Tab o Mayús+Tab, por un clic en un control que toma el foco
// al pulsarlo o por una tecla de acceso (Alt+letra). Si el manejador pone Cancel, el foco se
// queda en el campo y el paso no ocurre: la tecla o el clic se descartan, así que el botón
// pulsado no actúa. No se llama cuando la ventana entera pierde el foco ni cuando se cierra, ni
// cuando el programa mueve el foco.
//
// Qt da el foco de un clic antes de entregarlo al control, así que el clic se vigila donde
// llega primero, en la QWindow de la ventana: sólo cuentan los clics que llegan por ella (los
// del sistema de ventanas y los de QTest con QTEST_QPA_MOUSE_HANDLING).
//
// La vigilancia dura lo que el campo.
void Vigilar_salida(QLineEdit* campo, std::function<void(bool& Cancel)> manejador);

}  // namespace tesmalo
