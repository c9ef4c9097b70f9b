// La conversión de la ventana, en un hilo propio: la ventana sigue atendiendo al usuario (y
// cerrarla acaba el programa) aunque una lectura del origen tarde o no vuelva. Los avisos de
// progreso le llegan por una cola, en el orden en que la conversión los da.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "conversion/transformar.h"

namespace tesmalo {

class Conversion_en_hilo {
  public:
    // Un aviso de la conversión para la ventana.
    struct Aviso {
        enum class Tipo { Inicio, Progreso, Fin, Terminada } tipo;
        double fraccion = 0;  // en Progreso y en Fin: la última fracción dada
    };

    struct Datos {
        qint32 Int_filesCap = 0, Lng_Soncolumn = 0, Lng_Sonfila = 0;
        QString Ruta_origen, Ruta_destino;
    };

    // Arranca Transfromar_cab con `datos` en otro hilo. `despertar` se llama desde ese hilo
    // cada vez que deja un aviso en la cola; debe hacer volver la espera de eventos del hilo de
    // la interfaz.
    //
    // Los avisos: Inicio; Progreso con 0; Progreso tras algunas filas, no tras todas (cada
    // Intervalo_avisos_ms como mucho, con la última fracción); Fin, con todo escrito; y
    // Terminada cuando Transfromar_cab ha vuelto (el destino ya está en disco y con su nombre) o
    // ha fallado. Tras dejar Fin, el hilo espera a Continuar antes de llevar el destino a disco y
    // darle su nombre: así no lo toma si la ventana se cierra antes de mostrar la última fracción.
    Conversion_en_hilo(Datos datos, std::function<void()> despertar);

    // Detiene la conversión (si sigue) y espera a que su hilo acabe.
    ~Conversion_en_hilo();

    Conversion_en_hilo(const Conversion_en_hilo&) = delete;
    Conversion_en_hilo& operator=(const Conversion_en_hilo&) = delete;

    // El siguiente aviso de la cola, o nada si está vacía; con `hasta_el_final` falso, tampoco
    // Fin ni Terminada, que se quedan en la cola. Desde el hilo de la interfaz.
    std::optional<Aviso> Tomar(bool hasta_el_final);

    // Deja seguir a la conversión tras el aviso Fin.
    void Continuar();

    // Hace que la conversión se detenga en su próximo aviso, sin destino: el aviso lanza una
    // excepción que sale de Transfromar_cab. Desde cualquier hilo.
    void Detener();

    // Tras el aviso Terminada: el resumen de la conversión, o su error relanzado.
    Resumen_conversion Resultado();

    static constexpr int Intervalo_avisos_ms = 20;

  private:
    void Indicar_progreso(double fraccion);
    void Indicar_fin();
    void Poner(Aviso aviso);
    void Comprobar_detenida();  // con cerrojo_ tomado

    std::function<void()> despertar_;
    std::mutex cerrojo_;
    std::condition_variable tras_fin_;
    // Un Progreso que llega con otro aún en la cola lo sustituye (salvo el primero, el de 0),
    // así que la cola no crece aunque la ventana tarde en tomar los avisos.
    std::deque<Aviso> cola_;
    int progresos_puestos_ = 0;
    bool continuar_ = false;
    bool detener_ = false;
    Resumen_conversion resumen_;
    std::exception_ptr error_;

    // Sólo del hilo de la conversión.
    double ultima_fraccion_ = 0;
    QElapsedTimer reloj_;          // desde el último aviso de progreso puesto en la cola
    qint64 ultima_mirada_ns_ = 0;  // cuándo se miró el reloj por última vez
    qint64 paso_avisos_ = 1;       // cada cuántos avisos se mira el reloj
    qint64 avisos_hasta_mirar_ = 0;

    std::thread hilo_;  // el último: arranca con todo lo demás ya hecho
};

}  // namespace tesmalo
