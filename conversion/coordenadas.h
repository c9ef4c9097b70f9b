// El sistema de coordenadas de la rejilla: el .prj que acompaña al origen se copia, con los
// mismos bytes, al lado del destino y con su nombre.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

#include "sistema/resolver_destino.h"

namespace tesmalo {

class Lector_origen;

// Lo más que puede tener un .prj: uno de verdad tiene unos pocos miles de bytes.
constexpr qint64 Largo_maximo_prj = 64 << 10;

// El .prj del origen `ruta`: en su carpeta, su nombre sin un «.gz» final (en mayúsculas o
// minúsculas) y sin su última extensión, más «.prj» («zona1.asc» y «zona1.asc.gz» dan
// «zona1.prj»). Sólo forma el texto.
QString Ruta_prj_origen(const QString& ruta);
// El .prj del destino `ruta`: su nombre sin su última extensión, más «.prj»
// («zona1_reestruct.txt» da «zona1_reestruct.prj»). Sólo forma el texto.
QString Ruta_prj_destino(const QString& ruta);

// El .prj que toca escribir junto al destino resuelto `destino`: sus bytes y su destino
// resuelto.
struct Coordenadas_destino {
    QByteArray bytes;
    Destino_resuelto destino;
};

// Lee el .prj del origen, si lo hay, y resuelve el del destino. Nada si el origen no tiene .prj
// (y entonces el .prj que ya tuviera el destino se deja como está), si el origen es la entrada
// estándar («-») o si el destino es un flujo; nada también si el .prj del destino es ya el del
// origen, que tiene esos bytes. Lanza si el .prj del origen no se puede leer o pasa de
// Largo_maximo_prj, si el destino se llama ya como su .prj, o si el .prj del destino no es un
// fichero normal o es el origen o el destino mismos. No crea ni cambia nada.
std::optional<Coordenadas_destino> Preparar_coordenadas(const Lector_origen& origen,
                                                        const Destino_resuelto& destino);

}  // namespace tesmalo
