// Las operaciones de ficheros que hacen el lector del origen y el escritor del destino, todas por
// un mismo punto: Sistema_ficheros(). Lo predeterminado son las llamadas del sistema tal cual;
// una prueba pone otras (Usar_sistema_ficheros) que heredan de ésta y hacen fallar la que quiera,
// con el código de error que quiera, sin salir del proceso.
//
// Cada operación devuelve lo que devolvería la llamada del sistema que lleva su nombre en el
// comentario, con errno puesto igual si falla. Cuesta una llamada indirecta por operación: en la
// lectura y la escritura, una por bloque (de 1 o 2 MiB), nada por valor.
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

    virtual int Abrir(const char* ruta, int banderas, mode_t modo = 0);  // open
    virtual int Abrir_en(int carpeta, const char* nombre, int banderas,
                         mode_t modo = 0);                      // openat
    virtual int Cerrar(int fd);                                 // close
    virtual ssize_t Leer(int fd, void* bufer, std::size_t n);   // read
    virtual ssize_t Escribir(int fd, const void* datos, std::size_t n);  // write
    virtual off_t Desplazar(int fd, off_t posicion, int desde);          // lseek
    virtual int Truncar(int fd, off_t largo);                            // ftruncate
    virtual int Estado(int fd, struct stat* estado);                     // fstat
    virtual int Estado_en(int carpeta, const char* nombre, struct stat* estado,
                          int banderas);                                 // fstatat
    virtual int Estado_sistema(int fd, struct statfs* sistema);          // fstatfs
    virtual int Llevar_datos_a_disco(int fd);                            // fdatasync
    virtual int Llevar_a_disco(int fd);                                  // fsync
    // sync_file_range con SYNC_FILE_RANGE_WRITE: empieza a llevar a disco, sin esperar.
    virtual int Empezar_a_llevar_a_disco(int fd, off_t desde, off_t largo);
    virtual int Enlazar_en(int carpeta_vieja, const char* viejo, int carpeta_nueva,
                           const char* nuevo, int banderas);   // linkat
    virtual int Renombrar_en(int carpeta_vieja, const char* viejo, int carpeta_nueva,
                             const char* nuevo);               // renameat
    virtual int Borrar_en(int carpeta, const char* nombre, int banderas);  // unlinkat
    virtual int Cambiar_permisos(int fd, mode_t modo);                     // fchmod
    virtual int Cambiar_dueno(int fd, uid_t dueno, gid_t grupo);           // fchown
};

// Las operaciones en uso: las predeterminadas, o las que puso Usar_sistema_ficheros.
Operaciones_ficheros& Sistema_ficheros();

// Pone `operaciones` en lugar de las predeterminadas (nullptr vuelve a ellas); deben seguir vivas
// mientras se usen. Sólo mientras no haya ninguna conversión en marcha: no se sincroniza con los
// hilos que ya las estén usando.
void Usar_sistema_ficheros(Operaciones_ficheros* operaciones);

}  // namespace tesmalo
