// La lectura del fichero de origen tal como la hace el sistema: el descriptor, lo que dice de él
// fstat, los bloques leídos y, en un origen que sólo se lee una vez, lo guardado para volver a
// entregarlo. Todo por Sistema_ficheros(); no lanza: cada fallo vuelve con su errno, y quien lee
// (conversion/lector.h) lo dice en el mensaje con la línea en que estaba.
//
// Un origen comprimido con gzip (lo dicen sus dos primeros bytes, 1f 8b, no su nombre) se
// entrega ya descomprimido, por bloques como los de lectura y sin tenerlo nunca entero en
// memoria; varios miembros seguidos se leen como uno solo.
#pragma once

#include <sys/stat.h>

#include <QtGlobal>
#include <memory>
#include <string>

#include "sistema/descriptor.h"

namespace tesmalo {

// Verdadero si `a` y `b` son el mismo fichero: el mismo dispositivo y nodo, o, visto por dos
// caminos que dan otro dispositivo (un montaje overlay y su carpeta de arriba o de abajo), el
// mismo número de nodo con el mismo tamaño y la misma hora de modificación al nanosegundo.
bool Mismo_fichero(const struct stat& a, const struct stat& b);

class Origen_abierto {
  public:
    // Lo más que guarda Retener: la cabecera de un origen que sólo se lee una vez cabe de
    // sobra, y la memoria del proceso sigue acotada con cualquier entrada.
    static constexpr qsizetype Retenido_maximo = 16 << 20;

    // Lo que dio Leer_bloque.
    enum class Leido {
        Datos,               // un bloque de al menos un byte
        Fin,                 // el fichero se acabó
        Error,               // la lectura falló (con su errno)
        Acortado,            // se acabó antes del tamaño que tenía al abrirlo
        Demasiado_retenido,  // guardarlo pasaría de Retenido_maximo
        Comprimido_danado,   // el flujo gzip no se puede descomprimir
        Comprimido_cortado,  // el fichero se acaba a medias de un flujo gzip
    };

    explicit Origen_abierto(qsizetype tamano_bloque);
    ~Origen_abierto();

    // Abre `ruta` para leer, o toma el descriptor ya abierto `fichero`, y pregunta al sistema
    // qué es. Devuelve 0, o el errno si no se pudo abrir o preguntar.
    int Abrir(const char* ruta);
    int Adoptar(Descriptor fichero);

    // Lo que dice el sistema del fichero abierto (su fstat al abrirlo).
    const struct stat& Estado() const { return estado_; }
    // El descriptor abierto, para leerlo por posición sin mover la lectura (Mismos_bytes).
    int Fd() const { return fichero_.Fd(); }
    // Verdadero si no es un fichero normal (una tubería, un FIFO, un dispositivo): lo leído ya
    // no se puede volver a leer de él.
    bool Se_lee_una_vez() const { return !S_ISREG(estado_.st_mode); }
    // Bytes leídos del fichero desde que se abrió o se volvió a su principio (comprimidos, si
    // lo está: los que cuenta su tamaño).
    qint64 Bytes_leidos() const { return bytes_leidos_; }
    // Verdadero si lo leído hasta ahora resultó ser un flujo gzip.
    bool Comprimido() const { return gzip_ != nullptr; }

    // Guarda todo lo que se lea desde ahora, hasta Volver_al_principio.
    void Retener();
    bool Reteniendo() const { return reteniendo_; }
    // Vuelve a la primera línea: un fichero normal, desde su principio; uno que se lee una vez
    // (sólo tras Retener), con lo guardado seguido de lo que queda sin leer. Devuelve 0 o el
    // errno.
    int Volver_al_principio();

    // El siguiente bloque, de como mucho el tamaño de bloque, en [datos, datos + largo): vale
    // hasta la llamada siguiente. Con Leido::Error, `error` es el errno.
    Leido Leer_bloque(const char*& datos, qsizetype& largo, int& error);

  private:
    struct Gzip;

    int Preparar();
    bool Reproducir(const char*& datos, qsizetype& largo);
    // Lee del fichero hasta `cabe` bytes en `destino`, como read; cuenta los leídos y dice
    // Acortado si el fichero se acaba antes de su tamaño.
    Leido Leer_crudo(char* destino, qsizetype cabe, qsizetype& leidos, int& error);
    // El primer bloque: lo lee y mira si empieza un flujo gzip.
    Leido Leer_primero(qsizetype& largo, int& error);
    // Descomprime en bufer_ al menos un byte, si queda alguno.
    Leido Descomprimir(qsizetype& largo, int& error);

    Descriptor fichero_;
    qsizetype tamano_bloque_;
    std::unique_ptr<char[]> bufer_;
    struct stat estado_ {};
    qint64 bytes_leidos_ = 0;
    bool largo_conocido_ = false;  // se espera leer estado_.st_size bytes
    // Lo guardado desde Retener y cuánto de ello se ha vuelto a entregar; `reteniendo_` sólo
    // mientras se guarda, `reproduciendo_` sólo mientras se vuelve a entregar.
    std::string retenido_;
    std::size_t reproducido_ = 0;
    bool reteniendo_ = false;
    bool reproduciendo_ = false;
    // Si ya se leyó el primer bloque y, si es gzip, el estado de la descompresión.
    bool mirado_ = false;
    qsizetype sobrante_ = 0;  // bytes leídos al mirarlo que faltan por entregar (tras bufer_[0])
    std::unique_ptr<Gzip> gzip_;
};

}  // namespace tesmalo
