// Los temporales de destino que este proceso tiene a medio escribir, para poder retirarlos
// todos cuando el proceso tiene que acabar ya (Ctrl+C, SIGTERM, la ventana cerrada durante
// una conversión), aunque la conversión esté parada en una lectura que no vuelve.
//
// Un temporal sin nombre (O_TMPFILE) desaparece solo al acabar el proceso; uno con nombre se
// anota aquí mientras existe. Crear, nombrar y renombrar temporales se hace con el registro
// bloqueado, así que, tras Abandonar_temporales, ninguna conversión en curso puede dar a su
// temporal el nombre del destino.
#pragma once

#include <mutex>
#include <string>

namespace tesmalo {

// Borra todos los temporales con nombre de este proceso y hace que ninguno más se cree o tome
// su nombre de destino. Se puede llamar desde cualquier hilo (no desde un manejador de señal).
// Después, quien llama debe terminar el proceso (por ejemplo, con std::_Exit): las conversiones
// que sigan en marcha fallarán al llegar al final.
void Abandonar_temporales();

// Prepara el proceso para que una señal de fin no deje nada a medias: Ctrl+C (SIGINT), SIGTERM
// y el cierre del terminal o de la sesión (SIGHUP) se atienden en un hilo propio, que retira los
// temporales, llama a `antes_de_salir` (si se da) y sale en el acto con 128 + la señal, como
// esperan los intérpretes de órdenes; pasar un límite de tamaño de fichero (ulimit -f) es un
// error de escritura con su razón, no una muerte sin mensaje; y escribir en una tubería sin
// lector es un error EPIPE, no la muerte por SIGPIPE. Se llama al empezar main, antes de
// crear ningún hilo, para que las señales queden bloqueadas en todos los demás.
void Atender_senales_de_fin(void (*antes_de_salir)() = nullptr);

// El registro bloqueado, para crear, nombrar o renombrar un temporal sin que
// Abandonar_temporales se cruce.
class Registro_temporales {
  public:
    Registro_temporales();
    // Verdadero si ya se abandonaron: entonces no se debe crear ni renombrar nada.
    bool Abandonados() const;
    // Anota (o quita) el temporal `nombre` de la carpeta abierta `carpeta`.
    void Anotar(int carpeta, const std::string& nombre);
    void Quitar(int carpeta, const std::string& nombre);

  private:
    std::unique_lock<std::mutex> bloqueo_;
};

}  // namespace tesmalo
