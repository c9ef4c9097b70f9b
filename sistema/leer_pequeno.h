// La lectura entera de un fichero pequeño que acompaña al origen, como el .prj con su sistema de
// coordenadas: se lee de una vez, antes de convertir, por Sistema_ficheros().
#pragma once

#include <sys/stat.h>

#include <QByteArray>
#include <QString>
#include <optional>

namespace tesmalo {

// El contenido de `ruta`, que debe ser un fichero normal de como mucho `maximo` bytes, y en
// `estado` su fstat; nada si no existe (ni la ruta ni un enlace suyo). Lanza, con `que` («el
// sistema de coordenadas») y la ruta en el mensaje, si existe y no se puede abrir o leer, si no
// es un fichero normal (una carpeta, una tubería: no se abre para esperar a nadie) o si pasa de
// `maximo`.
std::optional<QByteArray> Leer_fichero_pequeno(const QString& ruta, qint64 maximo,
                                               const QString& que, struct stat& estado);

}  // namespace tesmalo
