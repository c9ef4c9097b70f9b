#include "dialog/porcentaje.h"

#include <QLocale>
#include <cmath>

namespace tesmalo {

QString Formatear_porcentaje(double fraccion, int decimales) {
    const double escala = std::pow(10.0, decimales);
    double valor = std::round(fraccion * 100 * escala) / escala;
    if (valor == 0) valor = 0;  // sin «-0.000%»
    QLocale local;
    local.setNumberOptions(local.numberOptions() | QLocale::OmitGroupSeparator);
    return local.toString(valor, 'f', decimales) + QLatin1Char('%');
}

}  // namespace tesmalo
