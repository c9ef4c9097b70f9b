#include "conversion/escaner.h"

#include <cstdlib>

namespace tesmalo {
namespace {

bool Tiene_avx2() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") &&
           __builtin_cpu_supports("popcnt");
#else
    return false;
#endif
}

struct Version {
    std::string_view nombre;
    Copiador_bloques copiador;
};

// Las versiones que este procesador puede usar, de la mejor a la peor.
Version Buscar(std::string_view nombre) {
    const Version versiones[] = {{"avx2", Tiene_avx2() ? Copiador_avx2() : nullptr},
                                 {"sse2", Copiador_sse2()},
                                 {"portable", Copiador_portable()}};
    for (const Version& v : versiones)
        if (v.copiador != nullptr && (nombre.empty() || nombre == v.nombre)) return v;
    return {};
}

Version& En_uso() {
    static Version version = Buscar({});
    return version;
}

}  // namespace

Copiador_bloques Copiador_en_uso() {
    return En_uso().copiador;
}

std::string_view Nombre_escaner() {
    return En_uso().nombre;
}

bool Forzar_escaner(std::string_view nombre) {
    if (nombre.empty()) return false;
    const Version v = Buscar(nombre);
    if (v.copiador == nullptr) return false;
    En_uso() = v;
    return true;
}

std::string Forzar_escaner_del_entorno() {
    const char* nombre = std::getenv("TESMALO_SIMD");
    if (nombre == nullptr || *nombre == '\0' || Forzar_escaner(nombre)) return {};
    return nombre;
}

}  // namespace tesmalo
