#include "conversion/temporales.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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
