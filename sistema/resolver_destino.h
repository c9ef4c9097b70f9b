// La ruta de destino resuelta por el sistema una sola vez, antes de convertir: la carpeta en que
// está, abierta, y el nombre dentro de ella, o el flujo que nombra.
#pragma once

#include <sys/stat.h>

#include <QString>
#include <string>

#include "sistema/descriptor.h"

namespace tesmalo {

// Lo que el sistema dice de una ruta de destino, resuelta una vez, antes de convertir.
struct Destino_resuelto {
    enum class Tipo { Nuevo, Fichero, Flujo };
    QString ruta;           // como la dio quien llama, para los mensajes
    Descriptor carpeta;     // la carpeta en que el sistema resolvió la ruta (O_PATH)
    std::string nombre;     // el nombre del fichero dentro de esa carpeta
    Descriptor flujo;       // un flujo, tal como se resolvió (O_PATH); `carpeta` y `nombre` lo
                            // nombran en /proc/self/fd para abrirlo de nuevo para escribir
    bool heredado = false;  // `flujo` es ya un descriptor de quien llama abierto para escribir
                            // (un fichero normal nombrado como /dev/stdout o /dev/fd/N)
    Tipo tipo = Tipo::Nuevo;
    struct stat estado {};  // del fichero al que lleva la ruta, si existe
};

// Resuelve `ruta` como la resuelve el sistema al abrirla, enlaces simbólicos incluidos. Lanza si
// está vacía, si un enlace no se puede seguir (colgado de una carpeta que no existe, un bucle,
// demasiados niveles), si su carpeta no existe o si lleva a algo que no sea un fichero normal,
// un dispositivo de caracteres o una tubería con nombre (una carpeta, un zócalo, un dispositivo
// de bloques). Para un fichero normal, lanza también si su carpeta no deja crear el temporal y
// darle después el nombre del destino (una carpeta de sólo lectura, o una con el bit «sticky»
// de otro usuario y un fichero ajeno). No crea ni cambia nada.
Destino_resuelto Resolver_destino(const QString& ruta);

// La salida estándar como destino: un flujo que se escribe por una copia de su descriptor, tal
// como está abierto (sin abrirlo otra vez: una tubería sin lector no deja abrirla para escribir
// y otra que sí lo tiene podría no ser la misma). Lanza si no se puede escribir en ella.
Destino_resuelto Resolver_salida_estandar();

}  // namespace tesmalo
