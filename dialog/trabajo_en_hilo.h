// El hilo de trabajo de la ventana: un QThread con su bucle de eventos, donde corren una tras
// otra las tareas que le manda la ventana (explorar la cabecera, convertir). Lo que una tarea
// cuenta a la ventana y su final le llegan como llamadas en la cola de eventos de la ventana
// (Qt::QueuedConnection): corren en el hilo de la ventana, en el orden en que se pusieron, cuando
// su bucle de eventos las atiende. Así la ventana nunca espera a una lectura ni a una escritura.
#pragma once

#include <QObject>
#include <QThread>
#include <exception>
#include <functional>

namespace tesmalo {

class Trabajo_en_hilo {
  public:
    // Las llamadas de vuelta van a la cola de eventos de `ventana` y se descartan si se destruye.
    explicit Trabajo_en_hilo(QObject* ventana);
    // Espera a que acabe la tarea en marcha (quien la arrancó debe haberla detenido) y acaba el
    // hilo.
    ~Trabajo_en_hilo();

    Trabajo_en_hilo(const Trabajo_en_hilo&) = delete;
    Trabajo_en_hilo& operator=(const Trabajo_en_hilo&) = delete;

    // Desde el hilo de la ventana: corre `tarea` en el hilo de trabajo y, después, `al_acabar`
    // en el de la ventana, con la excepción que lanzó la tarea (nula si no lanzó). El hilo
    // arranca con la primera tarea.
    void Correr(std::function<void()> tarea, std::function<void(std::exception_ptr)> al_acabar);

    // Desde el hilo de trabajo: pone `aviso` en la cola de eventos de la ventana.
    void Avisar(std::function<void()> aviso);

  private:
    QObject* ventana_;
    QThread hilo_;
    QObject* obrero_;  // vive en hilo_: recibe las tareas en su cola de eventos
};

}  // namespace tesmalo
