#include "sistema/senales.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "sistema/temporales.h"

namespace tesmalo {

void Atender_senales_de_fin(void (*antes_de_salir)()) {
    signal(SIGXFSZ, SIG_IGN);
    // Escribir en una tubería sin lector es un error EPIPE, no la muerte del proceso: un
    // mensaje que nadie lee no detiene las conversiones (quien llama decide cómo acabar).
    signal(SIGPIPE, SIG_IGN);
    sigset_t senales;
    sigemptyset(&senales);
    for (const int senal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&senales, senal);
    pthread_sigmask(SIG_BLOCK, &senales, nullptr);
    std::thread([senales, antes_de_salir] {
        int senal = 0;
        while (sigwait(&senales, &senal) != 0) {
        }
        const bool hecho = Registro_temporales().Abandonar();
        if (antes_de_salir != nullptr) antes_de_salir();
        _exit(hecho ? 0 : 128 + senal);
    }).detach();
}

}  // namespace tesmalo
