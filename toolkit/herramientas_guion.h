// Herramientas con guion para las pruebas y las medidas: las cajas responden lo que se les
// mandó, sin abrirse, y cada llamada queda anotada con sus argumentos.
#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "toolkit/herramientas.h"

namespace tesmalo {

struct Guion_cajas {
    struct Mensaje {
        QString texto;
        QString titulo;
    };
    struct Peticion {
        QString indicacion;
        QString titulo;
        QString predeterminado;
    };
    struct Eleccion {
        QList<Filtro_fichero> filtros;
        int entrada = 0;
    };

    // Respuestas, en orden de uso. Una respuesta de la caja de texto recibe el texto
    // predeterminado y devuelve el que el usuario deja (el vacío si cancela). Sin respuesta
    // pendiente, el selector y la caja de texto se comportan como si el usuario cancelara.
    QList<QString> ficheros;
    QList<std::function<QString(const QString& predeterminado)>> textos;

    // Lo que se llamó.
    QList<Mensaje> mensajes;
    QList<Peticion> peticiones;
    QList<Eleccion> elecciones;
    QList<int> terminaciones;  // los estados con que se pidió terminar el proceso

    // Se llama mientras la caja de mensaje está «abierta», antes de que vuelva.
    std::function<void(const Mensaje&)> al_mostrar_mensaje;

    // Unas herramientas que usan este guion; el guion debe vivir más que ellas. Terminar_proceso
    // sólo anota el estado y vuelve.
    Herramientas_ventana Herramientas();
};

// Respuestas de la caja de texto de uso frecuente.
inline QString Aceptar_propuesta(const QString& predeterminado) {
    return predeterminado;
}
inline QString Cancelar_caja(const QString&) {
    return {};
}

}  // namespace tesmalo
