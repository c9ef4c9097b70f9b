// Para la prueba de la ventana real, con LD_PRELOAD: un fdatasync lento, como el de una memoria
// USB. Antes de llevar el fichero a disco crea el fichero TESMALO_PRUEBA_MARCA_FDATASYNC (si se
// da), para que la prueba sepa que el volcado ha empezado, y espera los milisegundos de
// TESMALO_PRUEBA_RETRASO_FDATASYNC_MS.
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

extern "C" int fdatasync(int fd) {
    if (const char* marca = std::getenv("TESMALO_PRUEBA_MARCA_FDATASYNC")) {
        const int fichero = ::open(marca, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fichero >= 0) ::close(fichero);
    }
    if (const char* retraso = std::getenv("TESMALO_PRUEBA_RETRASO_FDATASYNC_MS")) {
        const long ms = std::atol(retraso);
        timespec espera{ms / 1000, (ms % 1000) * 1'000'000L};
        while (::nanosleep(&espera, &espera) != 0 && errno == EINTR) {
        }
    }
    return static_cast<int>(::syscall(SYS_fdatasync, fd));
}
