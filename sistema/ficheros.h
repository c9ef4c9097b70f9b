// Las operaciones de ficheros de sistema/ (el lector del origen, la resolución del destino, el
// escritor y su guardado, los temporales, lo que mira el plan de un lote), todas por un mismo
// punto: Sistema_ficheros(). Lo predeterminado son las llamadas del sistema tal cual;
// una prueba pone otras (Usar_sistema_ficheros) que heredan de ésta y hacen fallar la que quiera,
// con el código de error que quiera, sin salir del proceso.
//
// Cada operación devuelve lo que devolvería la llamada del sistema que se nombra sobre ella (en
// el mismo orden), con errno puesto igual si falla. Cuesta una llamada indirecta por operación: en
// la lectura y la escritura, una por bloque (de 1 o 2 MiB), nada por valor.
//
// Lo que no pasa por aquí, a propósito:
// - fcntl F_GETPIPE_SZ y F_SETPIPE_SZ (origen.cpp): sólo agrandan una tubería de origen, y si
//   no se puede, se lee igual; no hay fallo que provocar.
// - geteuid (resolver_destino.cpp, permisos.cpp): quién es el proceso, no un fichero.
// - acl_extended_fd, perm_copy_fd y attr_copy_fd de libacl y libattr (permisos.cpp): hacen sus
//   propias llamadas; lo que no copien lo ve la comprobación final de los permisos, por Estado.
// - fdopendir, readdir y closedir (razones.cpp, temporales.cpp): leen una carpeta ya abierta
//   por aquí (Abrir, Abrir_en), que es donde se provoca que no se pueda leer.
// - La carpeta actual del proceso (Ruta_absoluta, carpetas.cpp), que da Qt: no cambia mientras
//   el proceso vive.
// - Las señales y el fin del proceso (senales.cpp, sin_lector.cpp): no son ficheros.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/vfs.h>

#include <cstddef>

namespace tesmalo {

class Operaciones_ficheros {
  public:
    virtual ~Operaciones_ficheros() = default;

    // open, openat, close
    virtual int Abrir(const char* ruta, int banderas, mode_t modo = 0);
    virtual int Abrir_en(int carpeta, const char* nombre, int banderas, mode_t modo = 0);
    virtual int Cerrar(int fd);
    // read, write, lseek, ftruncate, pread
    virtual ssize_t Leer(int fd, void* bufer, std::size_t n);
    virtual ssize_t Escribir(int fd, const void* datos, std::size_t n);
    virtual off_t Desplazar(int fd, off_t posicion, int desde);
    virtual int Truncar(int fd, off_t largo);
    virtual ssize_t Leer_en(int fd, void* bufer, std::size_t n, off_t posicion);
    // fstat, fstatat, fstatfs
    virtual int Estado(int fd, struct stat* estado);
    virtual int Estado_en(int carpeta, const char* nombre, struct stat* estado, int banderas);
    virtual int Estado_sistema(int fd, struct statfs* sistema);
    // fdatasync, fsync y sync_file_range con SYNC_FILE_RANGE_WRITE (empezar a llevar a disco,
    // sin esperar)
    virtual int Llevar_datos_a_disco(int fd);
    virtual int Llevar_a_disco(int fd);
    virtual int Empezar_a_llevar_a_disco(int fd, off_t desde, off_t largo);
    // linkat, renameat, unlinkat
    virtual int Enlazar_en(int carpeta_vieja, const char* viejo, int carpeta_nueva,
                           const char* nuevo, int banderas);
    virtual int Renombrar_en(int carpeta_vieja, const char* viejo, int carpeta_nueva,
                             const char* nuevo);
    virtual int Borrar_en(int carpeta, const char* nombre, int banderas);
    // fchmod, fchown
    virtual int Cambiar_permisos(int fd, mode_t modo);
    virtual int Cambiar_dueno(int fd, uid_t dueno, gid_t grupo);
    // fcntl con F_DUPFD_CLOEXEC (una copia de `fd` que no pasa a otros programas) y con F_GETFL
    virtual int Duplicar(int fd);
    virtual int Leer_banderas(int fd);
    // readlinkat, faccessat, flock
    virtual ssize_t Leer_enlace_en(int carpeta, const char* nombre, char* bufer, std::size_t n);
    virtual int Permite_en(int carpeta, const char* nombre, int modo, int banderas);
    virtual int Bloquear(int fd, int operacion);
    // renameat2 con RENAME_EXCHANGE: los dos nombres, que deben existir, cambian de fichero de
    // una vez
    virtual int Intercambiar_en(int carpeta_a, const char* a, int carpeta_b, const char* b);
};

// Lleva a disco las entradas de la carpeta abierta `carpeta` (también con O_PATH). Devuelve 0 si
// lo hizo, y también si la carpeta no se deja abrir para leer o su sistema de ficheros no lleva
// carpetas a disco (EINVAL, ENOTSUP): entonces vale lo que ya hizo el sistema. Si no, el errno.
int Llevar_carpeta_a_disco(int carpeta);

// Las operaciones en uso: las predeterminadas, o las que puso Usar_sistema_ficheros.
Operaciones_ficheros& Sistema_ficheros();

// Pone `operaciones` en lugar de las predeterminadas (nullptr vuelve a ellas); deben seguir vivas
// mientras se usen. Sólo mientras no haya ninguna conversión en marcha: no se sincroniza con los
// hilos que ya las estén usando.
void Usar_sistema_ficheros(Operaciones_ficheros* operaciones);

}  // namespace tesmalo
