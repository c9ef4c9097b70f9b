// El porcentaje que muestra el marco de progreso.
#pragma once

#include <QString>

namespace tesmalo {

// fraccion × 100 con `decimales` decimales, al menos una cifra entera, el separador decimal del
// usuario (QLocale()), sin separador de miles, y un signo de porcentaje: 0.5 con 3 da «50.000%».
// Una mitad exacta en la cifra siguiente se aleja del cero; lo que redondea a cero se muestra
// sin signo.
QString Formatear_porcentaje(double fraccion, int decimales);

}  // namespace tesmalo
