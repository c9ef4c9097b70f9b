#include "conversion/coordenadas.h"

#include "conversion/lector.h"
#include "sistema/leer_pequeno.h"
#include "sistema/origen.h"
#include "sistema/razones.h"

namespace tesmalo {
namespace {

// `ruta` sin la última extensión de su nombre (un punto al principio del nombre no la empieza),
// más «.prj».
QString Cambiar_a_prj(QString ruta) {
    const qsizetype barra = ruta.lastIndexOf('/');
    const qsizetype punto = ruta.lastIndexOf('.');
    if (punto > barra + 1) ruta.truncate(punto);
    return ruta + QStringLiteral(".prj");
}

}  // namespace

QString Ruta_prj_origen(const QString& ruta) {
    const qsizetype barra = ruta.lastIndexOf('/');
    if (ruta.endsWith(QStringLiteral(".gz"), Qt::CaseInsensitive) && ruta.size() - barra > 4)
        return Cambiar_a_prj(ruta.chopped(3));
    return Cambiar_a_prj(ruta);
}

QString Ruta_prj_destino(const QString& ruta) {
    return Cambiar_a_prj(ruta);
}

std::optional<Coordenadas_destino> Preparar_coordenadas(const Lector_origen& origen,
                                                        const Destino_resuelto& destino) {
    if (destino.tipo == Destino_resuelto::Tipo::Flujo || origen.Ruta() == QStringLiteral("-"))
        return std::nullopt;
    const QString que = QStringLiteral("el sistema de coordenadas");
    struct stat estado_prj {};
    std::optional<QByteArray> bytes =
        Leer_fichero_pequeno(Ruta_prj_origen(origen.Ruta()), Largo_maximo_prj, que, estado_prj);
    if (!bytes) return std::nullopt;
    const QString ruta = Ruta_prj_destino(destino.ruta);
    if (ruta == destino.ruta)
        Fallar(QStringLiteral("El fichero de destino «%1» se llama como el sistema de coordenadas "
                              "que lo acompaña, el .prj de «%2»: elija un destino con otra "
                              "extensión.")
                   .arg(destino.ruta, origen.Ruta()));
    Coordenadas_destino c{*std::move(bytes), Resolver_destino(ruta)};
    if (c.destino.tipo == Destino_resuelto::Tipo::Flujo)
        Fallar(QStringLiteral("No se puede escribir el sistema de coordenadas «%1»: no es un "
                              "fichero normal.")
                   .arg(ruta));
    if (c.destino.tipo == Destino_resuelto::Tipo::Fichero) {
        if (Mismo_fichero(c.destino.estado, estado_prj)) return std::nullopt;
        if (Mismo_fichero(c.destino.estado, origen.Estado()) ||
            (destino.tipo == Destino_resuelto::Tipo::Fichero &&
             Mismo_fichero(c.destino.estado, destino.estado)))
            Fallar(QStringLiteral("El sistema de coordenadas del destino, «%1», es el mismo "
                                  "fichero que %2: no se reemplaza.")
                       .arg(ruta, Mismo_fichero(c.destino.estado, origen.Estado())
                                      ? QStringLiteral("el origen «%1»").arg(origen.Ruta())
                                      : QStringLiteral("el destino «%1»").arg(destino.ruta)));
    }
    return c;
}

}  // namespace tesmalo
