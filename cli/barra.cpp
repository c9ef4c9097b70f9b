#include "cli/barra.h"

#include <algorithm>
#include <cstdio>

namespace tesmalo_cli {

void Dibujar_barra(int porcentaje, const QByteArray& cola) {
    const int llenas = std::clamp(porcentaje * Ancho_barra / 100, 0, Ancho_barra);
    QByteArray linea = "\r[";
    linea += QByteArray(llenas, '#') + QByteArray(Ancho_barra - llenas, '-');
    linea += QByteArray("] ") + QByteArray::number(porcentaje).rightJustified(3, ' ') + '%';
    std::fputs((linea + cola).constData(), stderr);
}

}  // namespace tesmalo_cli
