#include "toolkit/herramientas_guion.h"

namespace tesmalo {

Herramientas_ventana Guion_cajas::Herramientas() {
    return {
        .Mostrar_mensaje =
            [this](QWidget*, const QString& texto, const QString& titulo) {
                mensajes.append({texto, titulo});
                if (al_mostrar_mensaje) al_mostrar_mensaje(mensajes.last());
            },
        .Pedir_texto =
            [this](QWidget*, const QString& indicacion, const QString& titulo,
                   const QString& predeterminado) {
                peticiones.append({indicacion, titulo, predeterminado});
                return textos.isEmpty() ? QString() : textos.takeFirst()(predeterminado);
            },
        .Elegir_fichero =
            [this](QWidget*, const QList<Filtro_fichero>& filtros, int entrada) {
                elecciones.append({filtros, entrada});
                return ficheros.isEmpty() ? QString() : ficheros.takeFirst();
            },
        .Terminar_proceso = [this](int estado) { terminaciones << estado; },
    };
}

}  // namespace tesmalo
