#include "sistema/sin_lector.h"

#include <csignal>
#include <cstdlib>
#include <system_error>

#include "sistema/temporales.h"

namespace tesmalo {

void Terminar_sin_lector() {
    Abandonar_temporales();
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
    std::_Exit(128 + SIGPIPE);
}

void Terminar_si_sin_lector(const std::exception& e) {
    try {
        std::rethrow_if_nested(e);
    } catch (const std::system_error& causa) {
        if (causa.code() == std::errc::broken_pipe) Terminar_sin_lector();
    } catch (...) {
    }
}

}  // namespace tesmalo
