// La forma por lotes de tesmalo-cli (-d CARPETA ORIGEN...): cada origen se convierte en
// CARPETA con el nombre de fichero que propone Proponer_destino, varios a la vez.
//
// Las conversiones corren en hilos del mismo proceso, cada una con sus propios ficheros: así
// el hilo que atiende Ctrl+C y SIGTERM retira con Abandonar_temporales los temporales de todas
// las que estén en marcha de una vez, y la barra de progreso del lote lee el avance de cada una
// sin comunicación entre procesos.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "conversion/transformar.h"

namespace tesmalo_cli {

// Los avisos de una conversión terminada cuya rejilla no cuadra con su cabecera, sin el
// "aviso: " del principio; ninguno si cuadra.
QStringList Textos_avisos(const tesmalo::Resumen_conversion& r);

// Un origen del lote y su destino; `error` dice por qué no tiene destino (un nombre de menos
// de cuatro caracteres), y entonces ese origen falla sin detener a los demás.
struct Trabajo_lote {
    QString origen, destino, error;
};

// Los trabajos de un lote, en el orden de los orígenes, y los motivos para no empezarlo: la
// carpeta que no existe o no es una carpeta, dos orígenes que escribirían el mismo destino
// (también con nombres que sólo difieren en mayúsculas, si la carpeta no las distingue, o por
// un enlace), un destino que es un enlace simbólico que no se puede seguir (colgado, quizá al
// destino de otro origen que aún no existe) y el destino que es uno de los orígenes (por su
// ruta o por ser el mismo fichero, también a través de un montaje overlay). Para saber si la
// carpeta distingue mayúsculas crea y borra en ella un fichero oculto; no escribe nada más.
struct Plan_lote {
    QList<Trabajo_lote> trabajos;
    QStringList rechazos;
};
Plan_lote Planear_lote(const QString& carpeta, const QStringList& origenes);

struct Pedido_lote {
    QString carpeta;
    QStringList origenes;
    // Si están las tres, valen para todos los orígenes; si no, cada origen se explora.
    std::optional<qint32> cabecera, columnas, filas;
    int trabajos = 0;    // conversiones a la vez; 0 es tantas como procesadores
    bool barra = false;  // una barra de progreso del lote en stderr
    bool resumen = true;  // la línea final que resume el lote
};

// Convierte el lote y devuelve el código de salida: 2 si el plan tiene rechazos (escritos en
// stderr, sin haber convertido nada), 1 si algún origen falló, 0 si no. Cada fallo es una
// línea "tesmalo-cli: error: ORIGEN: causa" y cada aviso "aviso: ORIGEN: ...", en stderr en
// cuanto se saben; al final, si se pide, una línea resume cuántos se convirtieron, con avisos y
// fallaron. Una línea que no se puede escribir (stderr sin lector) se pierde y el lote sigue.
int Convertir_lote(const Pedido_lote& pedido);

}  // namespace tesmalo_cli
