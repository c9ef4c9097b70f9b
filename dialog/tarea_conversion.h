// La conversión de la ventana como tarea de su hilo de trabajo (Trabajo_en_hilo): la ventana
// sigue atendiendo al usuario (y cerrarla acaba el programa) aunque una lectura del origen tarde
// o no vuelva. Sus avisos de progreso le llegan por la cola de eventos de la ventana, en el orden
// en que la conversión los da.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "conversion/transformar.h"
#include "dialog/trabajo_en_hilo.h"
#include "ejecucion/pedido.h"

namespace tesmalo {

class Tarea_conversion : public std::enable_shared_from_this<Tarea_conversion> {
  public:
    // Lo que la ventana hace con cada aviso, en su hilo: Inicio; Progreso con 0 y luego tras
    // algunas filas, no tras todas (cada Intervalo_avisos_ms como mucho, y sólo si la ventana
    // ya atendió el anterior: la cola no crece aunque tarde); Fin, con todo escrito y la última
    // fracción. Tras Fin, la conversión espera a Continuar antes de llevar el destino a disco y
    // darle su nombre: así no lo toma si la ventana se cierra antes de mostrar la última fracción.
    struct Avisos {
        std::function<void()> Inicio;
        std::function<void(double)> Progreso;
        std::function<void(double)> Fin;
    };

    // `hilo` debe vivir lo que la conversión.
    Tarea_conversion(Trabajo_en_hilo& hilo, Avisos avisos);

    // En el hilo de trabajo, como tarea de `hilo`: atiende `pedido` (Convertir_pedido, que corre
    // Transfromar_cab) con estos avisos. Vuelve cuando el destino ya está en disco y con su
    // nombre; lanza si falla o si se detuvo.
    Resumen_conversion Convertir(const Pedido_conversion& pedido);

    // Deja seguir a la conversión tras el aviso Fin.
    void Continuar();

    // Hace que la conversión se detenga en su próximo aviso, sin destino: el aviso lanza una
    // excepción que sale de Transfromar_cab. Desde cualquier hilo.
    void Detener();

    static constexpr int Intervalo_avisos_ms = 20;

  private:
    void Indicar_progreso(double fraccion);
    void Indicar_fin();
    void Comprobar_detenida();  // con cerrojo_ tomado

    Trabajo_en_hilo& hilo_;
    const Avisos avisos_;
    std::mutex cerrojo_;
    std::condition_variable tras_fin_;
    bool continuar_ = false;
    bool detener_ = false;
    std::atomic<bool> progreso_pendiente_ = false;  // puesto en la cola y aún sin atender

    // Sólo del hilo de trabajo.
    double ultima_fraccion_ = 0;
    QElapsedTimer reloj_;          // desde el último aviso de progreso puesto en la cola
    qint64 ultima_mirada_ns_ = 0;  // cuándo se miró el reloj por última vez
    qint64 paso_avisos_ = 1;       // cada cuántos avisos se mira el reloj
    qint64 avisos_hasta_mirar_ = 0;
};

}  // namespace tesmalo
