#include "dialog/tarea_conversion.h"

#include <stdexcept>

namespace tesmalo {

Tarea_conversion::Tarea_conversion(Trabajo_en_hilo& hilo, Avisos avisos)
    : hilo_(hilo), avisos_(std::move(avisos)) {}

Resumen_conversion Tarea_conversion::Convertir(const Pedido_conversion& pedido) {
    const std::shared_ptr<Tarea_conversion> yo = shared_from_this();
    const Operaciones_progreso progreso{
        .Indicar_inicio = [&] { hilo_.Avisar([yo] { yo->avisos_.Inicio(); }); },
        .Indicar_progreso = [this](double fraccion) { Indicar_progreso(fraccion); },
        .Indicar_fin = [this] { Indicar_fin(); },
    };
    return Convertir_pedido(pedido, progreso);
}

// Se llama una vez por fila, millones de veces: mirar el reloj en cada una ya costaría. Se mira
// cada `paso_avisos_` filas, un paso que se ajusta para que entre dos miradas pase alrededor de
// un milisegundo; así los avisos salen cada Intervalo_avisos_ms y poco más.
void Tarea_conversion::Indicar_progreso(double fraccion) {
    ultima_fraccion_ = fraccion;
    if (--avisos_hasta_mirar_ > 0) return;
    if (reloj_.isValid()) {
        const qint64 ahora = reloj_.nsecsElapsed();
        const qint64 desde_la_ultima = ahora - ultima_mirada_ns_;
        ultima_mirada_ns_ = ahora;
        if (desde_la_ultima < 500'000 && paso_avisos_ < (1 << 20))
            paso_avisos_ *= 2;
        else if (desde_la_ultima > 2'000'000 && paso_avisos_ > 1)
            paso_avisos_ /= 2;
        avisos_hasta_mirar_ = paso_avisos_;
        if (ahora < Intervalo_avisos_ms * 1'000'000LL) return;
    }
    {
        std::lock_guard bloqueo(cerrojo_);
        Comprobar_detenida();
    }
    // Con el anterior aún en la cola, éste se salta: la ventana verá uno más nuevo.
    if (!progreso_pendiente_.exchange(true)) {
        const std::shared_ptr<Tarea_conversion> yo = shared_from_this();
        hilo_.Avisar([yo, fraccion] {
            yo->progreso_pendiente_ = false;
            yo->avisos_.Progreso(fraccion);
        });
    }
    reloj_.start();
    ultima_mirada_ns_ = 0;
    avisos_hasta_mirar_ = paso_avisos_;
}

void Tarea_conversion::Indicar_fin() {
    const std::shared_ptr<Tarea_conversion> yo = shared_from_this();
    hilo_.Avisar([yo, fraccion = ultima_fraccion_] { yo->avisos_.Fin(fraccion); });
    std::unique_lock bloqueo(cerrojo_);
    tras_fin_.wait(bloqueo, [this] { return continuar_ || detener_; });
    Comprobar_detenida();
}

void Tarea_conversion::Comprobar_detenida() {
    if (detener_) throw std::runtime_error("La conversión se detuvo: se cerró la ventana.");
}

void Tarea_conversion::Continuar() {
    {
        std::lock_guard bloqueo(cerrojo_);
        continuar_ = true;
    }
    tras_fin_.notify_all();
}

void Tarea_conversion::Detener() {
    {
        std::lock_guard bloqueo(cerrojo_);
        detener_ = true;
    }
    tras_fin_.notify_all();
}

}  // namespace tesmalo
