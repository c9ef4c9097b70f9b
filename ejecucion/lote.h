// Lo que comparten la conversión suelta y la forma por lotes de tesmalo-cli antes y después de
// convertir: el plan de un lote (qué destino toca a cada origen y si se puede empezar) y los
// avisos de una conversión cuya rejilla no cuadra con su cabecera.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "conversion/transformar.h"
#include "ejecucion/pedido.h"

namespace tesmalo {

// Los avisos de una conversión terminada cuya rejilla no cuadra con su cabecera (más filas de
// las que anuncia, que quien lea el destino no tomará, o valores descartados), sin el
// "aviso: " del principio; ninguno si cuadra.
QStringList Textos_avisos(const Resumen_conversion& r);

// Un origen del lote y su destino, en la carpeta del lote con el nombre que propone
// Proponer_destino; `error` dice por qué no tiene destino (un nombre de menos de cuatro
// caracteres), y entonces ese origen falla sin detener a los demás. `bytes` es el tamaño del
// origen al planear (0 si no es un fichero normal), el peso de su conversión en el progreso.
struct Trabajo_lote {
    QString origen, destino, error;
    qint64 bytes = 0;
};

// Los trabajos de un lote, en el orden de los orígenes, y los motivos para no empezarlo: la
// carpeta que no existe o no es una carpeta, dos orígenes que escribirían el mismo destino
// (también con nombres que sólo difieren en mayúsculas, si la carpeta no las distingue, o por
// un enlace), un destino que es un enlace simbólico que no se puede seguir (colgado, quizá al
// destino de otro origen que aún no existe) y el destino que es uno de los orígenes (por su
// ruta o por ser el mismo fichero, también a través de un montaje overlay, o, visto por otro
// camino que da otro fichero, como sshfs, por tener su tamaño, su hora y sus bytes). El .prj que
// escribe junto a su destino un origen que tiene el suyo (Ruta_prj_destino) se comprueba igual,
// y además no puede ser el .prj de ningún origen. Para saber si
// la carpeta distingue mayúsculas crea y borra en ella un fichero oculto; no escribe nada más.
struct Plan_lote {
    QList<Trabajo_lote> trabajos;
    QStringList rechazos;
};
Plan_lote Planear_lote(const QString& carpeta, const QStringList& origenes);

// Lo que Correr_lote cuenta de cada trabajo, desde el hilo que lo convierte: se llaman desde
// varios hilos a la vez. `hueco` es el hilo (de 0 a hilos − 1) e `indice`, el trabajo en el plan.
struct Avisos_lote {
    // La conversión lleva esta fracción de su origen, ya limitada a [0, 1].
    std::function<void(int hueco, int indice, double fraccion)> Avanzar;
    // El trabajo acabó: con los avisos de su conversión (Textos_avisos) o, si falló, con el
    // mensaje de `error`, no nulo.
    std::function<void(int hueco, int indice, const QStringList& avisos, const char* error)> Acabar;
};

// Convierte los trabajos de `plan` (sin rechazos) en `hilos` hilos a la vez, a lo sumo uno por
// trabajo, y vuelve cuando todos han acabado. Cada trabajo es el pedido `comun` (lo que vale
// para todo el lote) con el origen y el destino del trabajo, atendido por Convertir_pedido; un
// trabajo que falla (también uno sin destino) no detiene a los demás. Las
// conversiones son hilos del mismo proceso: una señal de fin retira de una vez los temporales
// de todas las que estén en marcha, y sólo deja de interrumpir cuando todos los destinos tienen
// su nombre.
void Correr_lote(const Plan_lote& plan, int hilos, const Pedido_conversion& comun,
                 const Avisos_lote& avisos);

}  // namespace tesmalo
