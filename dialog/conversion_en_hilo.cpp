#include "dialog/conversion_en_hilo.h"

#include <stdexcept>

namespace tesmalo {

Conversion_en_hilo::Conversion_en_hilo(Datos datos, std::function<void()> despertar)
    : despertar_(std::move(despertar)), hilo_([this, datos = std::move(datos)] {
          const Operaciones_progreso progreso{
              .Indicar_inicio = [this] { Poner({Aviso::Tipo::Inicio}); },
              .Indicar_progreso = [this](double fraccion) { Indicar_progreso(fraccion); },
              .Indicar_fin = [this] { Indicar_fin(); },
          };
          try {
              resumen_ = Transfromar_cab(datos.Int_filesCap, datos.Lng_Soncolumn, datos.Lng_Sonfila,
                                         datos.Ruta_origen, datos.Ruta_destino, progreso);
          } catch (...) {
              error_ = std::current_exception();
          }
          Poner({Aviso::Tipo::Terminada});
      }) {}

Conversion_en_hilo::~Conversion_en_hilo() {
    Detener();
    hilo_.join();
}

void Conversion_en_hilo::Poner(Aviso aviso) {
    {
        std::lock_guard bloqueo(cerrojo_);
        if (aviso.tipo == Aviso::Tipo::Progreso && !cola_.empty() &&
            cola_.back().tipo == Aviso::Tipo::Progreso && progresos_puestos_ > 1)
            cola_.back() = aviso;
        else
            cola_.push_back(aviso);
        if (aviso.tipo == Aviso::Tipo::Progreso) ++progresos_puestos_;
    }
    despertar_();
}

// Se llama una vez por fila, millones de veces: mirar el reloj en cada una ya costaría. Se mira
// cada `paso_avisos_` filas, un paso que se ajusta para que entre dos miradas pase alrededor de
// un milisegundo; así los avisos salen cada Intervalo_avisos_ms y poco más.
void Conversion_en_hilo::Indicar_progreso(double fraccion) {
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
    Poner({Aviso::Tipo::Progreso, fraccion});
    reloj_.start();
    ultima_mirada_ns_ = 0;
    avisos_hasta_mirar_ = paso_avisos_;
}

void Conversion_en_hilo::Indicar_fin() {
    Poner({Aviso::Tipo::Fin, ultima_fraccion_});
    std::unique_lock bloqueo(cerrojo_);
    tras_fin_.wait(bloqueo, [this] { return continuar_ || detener_; });
    Comprobar_detenida();
}

void Conversion_en_hilo::Comprobar_detenida() {
    if (detener_) throw std::runtime_error("La conversión se detuvo: se cerró la ventana.");
}

std::optional<Conversion_en_hilo::Aviso> Conversion_en_hilo::Tomar(bool hasta_el_final) {
    std::lock_guard bloqueo(cerrojo_);
    if (cola_.empty()) return std::nullopt;
    if (!hasta_el_final &&
        (cola_.front().tipo == Aviso::Tipo::Fin || cola_.front().tipo == Aviso::Tipo::Terminada))
        return std::nullopt;
    const Aviso aviso = cola_.front();
    cola_.pop_front();
    return aviso;
}

void Conversion_en_hilo::Continuar() {
    {
        std::lock_guard bloqueo(cerrojo_);
        continuar_ = true;
    }
    tras_fin_.notify_all();
}

void Conversion_en_hilo::Detener() {
    {
        std::lock_guard bloqueo(cerrojo_);
        detener_ = true;
    }
    tras_fin_.notify_all();
}

Resumen_conversion Conversion_en_hilo::Resultado() {
    std::lock_guard bloqueo(cerrojo_);
    if (error_) std::rethrow_exception(error_);
    return resumen_;
}

}  // namespace tesmalo
