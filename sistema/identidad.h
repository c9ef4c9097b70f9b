// Si un destino que ya existe es el fichero de origen visto por otro camino, aunque el sistema
// los dé por distintos: una carpeta de red por sshfs y la del servidor, una memoria FAT por FUSE
// con un nombre escrito de dos maneras, un fichero copiado arriba en un montaje overlay. Esos
// sistemas de ficheros inventan los números de nodo (FUSE da uno a cada nombre), así que no
// deciden: se miran el nombre en su carpeta, el tamaño, la hora de modificación y los bytes.
#pragma once

#include <sys/stat.h>

#include <QString>

#include "sistema/resolver_destino.h"

namespace tesmalo {

// Verdadero si `a` y `b` pueden ser un mismo fichero visto por dos caminos: dos ficheros
// normales del mismo tamaño cuyas horas de modificación distan menos de 2 s (una carpeta de red
// da la hora en segundos enteros; una memoria FAT, en pasos de 2 s). Sólo mira los dos estados.
bool Parecen_el_mismo(const struct stat& a, const struct stat& b);

// Compara los ficheros abiertos `a` y `b` byte a byte, por posición (sin mover lo que se esté
// leyendo de ellos), hasta `largo` bytes y también que ninguno siga tras ellos. Devuelve 1 si
// son iguales, 0 si difieren (también si uno se acaba antes) o -1 con errno si una lectura falla.
int Mismos_bytes(int a, int b, off_t largo);

// Compara con el origen abierto `origen` (de estado `estado_origen`) el fichero normal que ya
// existe en el destino resuelto `d` (un Fichero, o un Flujo heredado que es un fichero normal),
// leído por la capa del sistema: sólo si Parecen_el_mismo, y si no, devuelve 0 sin leer nada.
// Devuelve 1 si tiene los mismos bytes, 0 si no, o -1 con errno si no se pudo leer.
int Mismo_contenido(int origen, const struct stat& estado_origen, const Destino_resuelto& d);

// Lo mismo con dos rutas, para el plan de un lote: 1 si las dos llevan a ficheros que
// Parecen_el_mismo y tienen los mismos bytes, 0 si no (también si una no se puede abrir).
int Mismo_contenido(const QString& a, const QString& b);

// Verdadero si la ruta del origen y el destino resuelto `d` nombran una misma carpeta (el mismo
// dispositivo y nodo) con dos nombres que sólo difieren en mayúsculas o en la forma Unicode y
// que esa carpeta tiene por iguales (Sondear_nombres, que crea y borra en ella un fichero
// oculto). Si los nombres no difieren sólo así, no llama al sistema.
bool Mismo_nombre_en_carpeta(const QString& ruta_origen, const Destino_resuelto& d);

}  // namespace tesmalo
