// Por qué la exploración no halla en un fichero una línea de valores que pueda leer, cuando la
// causa se ve en lo que ha leído de él: texto en UTF-16, una rejilla de Surfer, o números con
// coma decimal que la configuración regional en uso no lee.
#pragma once

#include <QString>
#include <string>

#include "conversion/lector.h"

namespace tesmalo {

class Indicios_origen {
  public:
    // Mira la línea `linea` tal como la leyó la exploración: su primer campo y, si lo leyó, el
    // último. Los campos cortados por largos no se miran.
    void Mirar(qint64 linea, const Extremos& e);

    // Verdadero si una línea empezaba por un número con coma decimal que no se lee como
    // número: la exploración la habría tomado por cabecera.
    bool Hay_coma_decimal() const { return linea_coma_ != 0; }

    // El mensaje de error entero, que nombra `ruta`, dice la causa y qué hacer; vacío si lo
    // mirado no muestra ninguna. Si hay varias, la primera de: UTF-16 (una marca de orden de
    // bytes al principio o bytes nulos), una rejilla de Surfer («DSAA» en la línea 1), una
    // coma decimal.
    QString Explicar(const QString& ruta) const;

  private:
    bool marca_utf16_ = false;
    qint64 linea_nulos_ = 0;
    bool surfer_ = false;
    qint64 linea_coma_ = 0;
    std::string campo_coma_;
};

// Lo que dice Explicar de las dos primeras líneas de `origen`, leídas desde donde esté (su
// principio); para explicar un fallo al leer la cabecera sin explorarla. Deja el lector tras
// lo leído.
QString Explicar_principio(Lector_origen& origen);

// Verdadero si `campo` no es un valor con la configuración regional en uso pero lo sería con
// un punto en lugar de su única coma: un número con coma decimal («0,100000E+06» con C).
bool Es_coma_decimal(const std::string& campo);

}  // namespace tesmalo
