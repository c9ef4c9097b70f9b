#include "sistema/ficheros.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "sistema/descriptor.h"

namespace tesmalo {
namespace {

Operaciones_ficheros Predeterminadas;
Operaciones_ficheros* En_uso = &Predeterminadas;

}  // namespace

int Operaciones_ficheros::Abrir(const char* ruta, int banderas, mode_t modo) {
    return ::open(ruta, banderas, modo);
}
int Operaciones_ficheros::Abrir_en(int carpeta, const char* nombre, int banderas, mode_t modo) {
    return ::openat(carpeta, nombre, banderas, modo);
}
int Operaciones_ficheros::Cerrar(int fd) {
    return ::close(fd);
}
ssize_t Operaciones_ficheros::Leer(int fd, void* bufer, std::size_t n) {
    return ::read(fd, bufer, n);
}
ssize_t Operaciones_ficheros::Escribir(int fd, const void* datos, std::size_t n) {
    return ::write(fd, datos, n);
}
off_t Operaciones_ficheros::Desplazar(int fd, off_t posicion, int desde) {
    return ::lseek(fd, posicion, desde);
}
int Operaciones_ficheros::Truncar(int fd, off_t largo) {
    return ::ftruncate(fd, largo);
}
ssize_t Operaciones_ficheros::Leer_en(int fd, void* bufer, std::size_t n, off_t posicion) {
    return ::pread(fd, bufer, n, posicion);
}
int Operaciones_ficheros::Estado(int fd, struct stat* estado) {
    return ::fstat(fd, estado);
}
int Operaciones_ficheros::Estado_en(int carpeta, const char* nombre, struct stat* estado,
                                    int banderas) {
    return ::fstatat(carpeta, nombre, estado, banderas);
}
int Operaciones_ficheros::Estado_sistema(int fd, struct statfs* sistema) {
    return ::fstatfs(fd, sistema);
}
int Operaciones_ficheros::Llevar_datos_a_disco(int fd) {
    return ::fdatasync(fd);
}
int Operaciones_ficheros::Llevar_a_disco(int fd) {
    return ::fsync(fd);
}
int Operaciones_ficheros::Empezar_a_llevar_a_disco(int fd, off_t desde, off_t largo) {
    return ::sync_file_range(fd, desde, largo, SYNC_FILE_RANGE_WRITE);
}
int Operaciones_ficheros::Enlazar_en(int carpeta_vieja, const char* viejo, int carpeta_nueva,
                                     const char* nuevo, int banderas) {
    return ::linkat(carpeta_vieja, viejo, carpeta_nueva, nuevo, banderas);
}
int Operaciones_ficheros::Renombrar_en(int carpeta_vieja, const char* viejo, int carpeta_nueva,
                                       const char* nuevo) {
    return ::renameat(carpeta_vieja, viejo, carpeta_nueva, nuevo);
}
int Operaciones_ficheros::Borrar_en(int carpeta, const char* nombre, int banderas) {
    return ::unlinkat(carpeta, nombre, banderas);
}
int Operaciones_ficheros::Cambiar_permisos(int fd, mode_t modo) {
    return ::fchmod(fd, modo);
}
int Operaciones_ficheros::Cambiar_dueno(int fd, uid_t dueno, gid_t grupo) {
    return ::fchown(fd, dueno, grupo);
}
int Operaciones_ficheros::Intercambiar_en(int carpeta_a, const char* a, int carpeta_b,
                                          const char* b) {
    return ::renameat2(carpeta_a, a, carpeta_b, b, RENAME_EXCHANGE);
}

int Operaciones_ficheros::Duplicar(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}
int Operaciones_ficheros::Leer_banderas(int fd) {
    return ::fcntl(fd, F_GETFL);
}
ssize_t Operaciones_ficheros::Leer_enlace_en(int carpeta, const char* nombre, char* bufer,
                                             std::size_t n) {
    return ::readlinkat(carpeta, nombre, bufer, n);
}
int Operaciones_ficheros::Permite_en(int carpeta, const char* nombre, int modo, int banderas) {
    return ::faccessat(carpeta, nombre, modo, banderas);
}
int Operaciones_ficheros::Bloquear(int fd, int operacion) {
    return ::flock(fd, operacion);
}

Operaciones_ficheros& Sistema_ficheros() {
    return *En_uso;
}

void Usar_sistema_ficheros(Operaciones_ficheros* operaciones) {
    En_uso = operaciones != nullptr ? operaciones : &Predeterminadas;
}

int Llevar_carpeta_a_disco(int carpeta) {
    const Descriptor abierta(
        Sistema_ficheros().Abrir_en(carpeta, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (abierta.Fd() < 0 || Sistema_ficheros().Llevar_a_disco(abierta.Fd()) == 0 ||
        errno == EINVAL || errno == ENOTSUP)
        return 0;
    return errno;
}

}  // namespace tesmalo
