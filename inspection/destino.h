// La propuesta de destino: junto al origen, con su nombre sin los cuatro últimos caracteres,
// "_reestruct" y ".txt". Un nombre que acaba en ".gz" (en mayúsculas o minúsculas) pierde el
// ".gz" y, después, su extensión si la tiene: zona1.asc.gz da zona1_reestruct.txt y zona1.gz,
// zona1_reestruct.txt.
#pragma once

#include <QString>

namespace tesmalo {

struct Propuesta_destino {
    QString Carpeta_origen;  // hasta el último separador de carpetas, incluido; vacía si no hay
    QString Ruta_destino;    // la ruta propuesta
};

// Sin efectos y sin tocar ficheros. Los cuatro últimos caracteres del nombre se toman como la
// extensión con su punto, sean lo que sean. Sin el ".gz", en cambio, sólo se quitan si son un
// punto y tres caracteres más; si no, el ".gz" era la extensión (dem.gz da dem_reestruct.txt,
// zona1.gz da zona1_reestruct.txt). El separador de carpetas es '/' (en Windows también '\').
// Lanza std::runtime_error si el nombre del fichero tiene menos de cuatro caracteres.
Propuesta_destino Proponer_destino(const QString& Ruta_origen);

}  // namespace tesmalo
