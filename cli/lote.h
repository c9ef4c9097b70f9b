// La forma por lotes de tesmalo-cli (-d CARPETA ORIGEN...): cada origen se convierte en
// CARPETA con el nombre de fichero que propone Proponer_destino, varios a la vez. El plan y las
// conversiones son de la biblioteca (ejecucion/lote.h); aquí sólo se informa: la barra de
// progreso del lote, que lee el avance de cada conversión en marcha, las líneas de error y de
// aviso y el resumen final.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "ejecucion/lote.h"

namespace tesmalo_cli {

using tesmalo::Plan_lote;
using tesmalo::Trabajo_lote;

struct Pedido_lote {
    QString carpeta;
    QStringList origenes;
    // Lo que vale para todos los orígenes (las cuentas dadas; las que falten se buscan en cada
    // uno); su origen y su destino no se usan: son los de cada trabajo.
    tesmalo::Pedido_conversion comun;
    int trabajos = 0;     // conversiones a la vez; 0 es tantas como procesadores
    bool barra = false;   // una barra de progreso del lote en stderr
    bool resumen = true;  // la línea final que resume el lote
};

// Convierte el lote (planeado con tesmalo::Planear_lote) y devuelve el código de salida: 2 si
// el plan tiene rechazos (escritos en stderr, sin haber convertido nada), 1 si algún origen
// falló, 0 si no. Cada fallo es una línea "tesmalo-cli: error: ORIGEN: causa" y cada aviso
// "aviso: ORIGEN: ...", en stderr en cuanto se saben; al final, si se pide, una línea resume
// cuántos se convirtieron, con avisos y fallaron. Una línea que no se puede escribir (stderr sin
// lector) se pierde y el lote sigue.
int Convertir_lote(const Pedido_lote& pedido);

}  // namespace tesmalo_cli
