// Lo que hace el proceso con las señales de fin y las que no deben matarlo.
#pragma once

namespace tesmalo {

// Prepara el proceso para que una señal de fin no deje nada a medias: Ctrl+C (SIGINT), SIGTERM
// y el cierre del terminal o de la sesión (SIGHUP) se atienden en un hilo propio, que retira los
// temporales, llama a `antes_de_salir` (si se da) y sale en el acto con 128 + la señal, como
// esperan los intérpretes de órdenes; pasar un límite de tamaño de fichero (ulimit -f) es un
// error de escritura con su razón, no una muerte sin mensaje; y escribir en una tubería sin
// lector es un error EPIPE, no la muerte por SIGPIPE. Una señal que llega cuando todos los
// destinos anunciados (Anunciar_destinos) ya tienen su nombre no interrumpe nada: el proceso
// sale igual en el acto, pero con 0, porque su trabajo está hecho. Se llama al empezar main,
// antes de crear ningún hilo, para que las señales queden bloqueadas en todos los demás.
void Atender_senales_de_fin(void (*antes_de_salir)() = nullptr);

}  // namespace tesmalo
