// Cómo acaba el proceso cuando quien lee su salida se ha ido (una tubería cerrada, como con
// «| head»): callado y por SIGPIPE, como cat y las demás órdenes, sin dejar temporales. El
// proceso ignora SIGPIPE (Atender_senales_de_fin) para que un mensaje que nadie lee no detenga
// nada; así que escribir sin lector da EPIPE, y es quien escribe el resultado el que decide con
// esto que el proceso acaba.
#pragma once

#include <exception>

namespace tesmalo {

// Retira los temporales registrados y acaba el proceso por SIGPIPE (el intérprete ve 141); si
// la señal no lo acaba, sale con 128 + SIGPIPE. No vuelve.
[[noreturn]] void Terminar_sin_lector();

// Si `e` dice que el destino, un flujo, se quedó sin lector (la escritura lleva anidado un
// std::system_error con EPIPE, como lo lanza el escritor), acaba con Terminar_sin_lector; si
// no, vuelve sin hacer nada.
void Terminar_si_sin_lector(const std::exception& e);

}  // namespace tesmalo
