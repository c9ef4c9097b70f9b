#include "conversion/temporales.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

namespace tesmalo {
namespace {

std::mutex Cerrojo;
bool Abandonado = false;
std::vector<std::pair<int, std::string>> Anotados;

}  // namespace

void Abandonar_temporales() {
    std::lock_guard bloqueo(Cerrojo);
    Abandonado = true;
    for (const auto& [carpeta, nombre] : Anotados) ::unlinkat(carpeta, nombre.c_str(), 0);
    Anotados.clear();
}

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
        Abandonar_temporales();
        if (antes_de_salir != nullptr) antes_de_salir();
        _exit(128 + senal);
    }).detach();
}

Registro_temporales::Registro_temporales() : bloqueo_(Cerrojo) {}

bool Registro_temporales::Abandonados() const {
    return Abandonado;
}

void Registro_temporales::Anotar(int carpeta, const std::string& nombre) {
    Anotados.emplace_back(carpeta, nombre);
}

void Registro_temporales::Quitar(int carpeta, const std::string& nombre) {
    std::erase(Anotados, std::pair{carpeta, nombre});
}

}  // namespace tesmalo
