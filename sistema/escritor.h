// Escritura del fichero de destino por bloques grandes, a un temporal de su carpeta que sólo
// toma el nombre del destino al confirmarlo: hasta entonces, el fichero que ya tuviera ese
// nombre sigue intacto, y si algo falla o se interrumpe no queda nada.
//
// La ruta del destino la resuelve el sistema una sola vez (sistema/resolver_destino.h): la carpeta
// queda abierta y el temporal se crea y se renombra en ella, así que los enlaces simbólicos se
// siguen como los sigue el sistema y nunca se escribe en otro sitio que el comprobado; sólo se usan
// el descriptor de la carpeta y el último nombre, así que vale también en carpetas más hondas que
// PATH_MAX. Un temporal con nombre está bloqueado mientras se usa, para que otra conversión no
// lo tome por abandonado (sistema/temporales.h). Un destino que es un dispositivo de
// caracteres o una tubería con nombre (/dev/null, /dev/stdout, un FIFO) se escribe en su sitio,
// como un flujo, sin temporal; y también un fichero normal que quien llama ya tiene abierto y
// nombra por su descriptor (/dev/stdout, /dev/fd/N): se escribe por ese descriptor, donde está
// y como está abierto, como haría cualquier orden con su salida.
//
// Los bloques llenos se escriben en un hilo aparte mientras se llena el siguiente, para que la
// copia al sistema de ficheros se solape con la conversión. Sólo ese hilo toca el fichero
// mientras tiene un bloque; quien escribe lo espera antes de volver a tocarlo.
#pragma once

#include <sys/stat.h>

#include <QString>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "sistema/descriptor.h"
#include "sistema/resolver_destino.h"

namespace tesmalo {
class Registro_temporales;
}

namespace tesmalo {

class Escritor_destino {
  public:
    static constexpr qsizetype Tamano_predeterminado = 2 << 20;

    // Crea el temporal en la carpeta resuelta, o abre el flujo; lanza si no se puede, y entonces
    // no deja nada. El temporal está bloqueado (Bloquear_temporal) hasta que toma el nombre del
    // destino o se descarta. Si reemplaza un fichero, recibe su dueño (como root; sin
    // privilegios, su grupo si es uno propio), sus permisos con su ACL y sus atributos
    // extendidos. Lo que el sistema de ficheros no guarde no es un fallo, pero nunca da más
    // acceso que el anterior: si la ACL no se pudo copiar sólo su dueño conserva permisos, y si
    // el grupo no es el mismo, el grupo no tiene ninguno; lanza si ni así se puede.
    //
    // Un acompañante (`acompanante` verdadero) es un fichero más del mismo trabajo, como el .prj
    // que va al lado de la rejilla: no cuenta como destino del proceso (Anunciar_destinos) y sólo
    // se confirma con el destino al que acompaña (Confirmar).
    explicit Escritor_destino(Destino_resuelto destino,
                              qsizetype tamano_bloque = Tamano_predeterminado,
                              bool acompanante = false);
    // Sin Confirmar, descarta el temporal.
    ~Escritor_destino();

    void Anadir(const char* datos, qsizetype n) {
        while (n > 0) {
            const qsizetype parte = std::min(n, tamano_bloque_);
            std::memcpy(Reservar(parte), datos, static_cast<std::size_t>(parte));
            usado_ += parte;
            datos += parte;
            n -= parte;
        }
    }
    void Anadir(char c) { *Reservar(1) = c, ++usado_; }

    // Un puntero con sitio para al menos `n` bytes (n no mayor que el bloque); lo escrito en él
    // cuenta al llamar a Avanzar.
    char* Reservar(qsizetype n) {
        if (n > tamano_bloque_ - usado_) Volcar();
        return bufer_ + usado_;
    }
    void Avanzar(qsizetype n) { usado_ += n; }

    // Bytes escritos hasta ahora, volcados o no.
    qint64 Posicion() const { return volcados_ + usado_; }
    // Descarta todo lo escrito desde `posicion`. En un flujo, lo ya entregado no se puede
    // retirar: entonces lanza.
    void Retroceder(qint64 posicion);
    // Escribe lo pendiente y espera a que esté escrito; lanza si no se pudo.
    void Terminar_escritura();
    // Termina la escritura, pasa el temporal a disco y le da el nombre del destino; lanza si
    // algo de eso falla, y entonces el destino que hubiera sigue intacto.
    //
    // Con `acompanante` (un fichero normal, nunca un flujo), los dos a la vez: los dos temporales
    // escritos y en disco antes de que ninguno tome su nombre; después, el acompañante toma el
    // suyo y el que reemplaza queda a salvo (intercambiado con el temporal, o apartado con otro
    // nombre donde el sistema de ficheros no intercambia), y si el destino no puede tomar el
    // suyo, el acompañante anterior vuelve a su sitio, o el nuevo se retira si no había. Así un
    // fallo en cualquier paso no deja ninguno de los dos ficheros nuevos y deja los que había; una
    // señal de fin, que espera al registro, ve los dos nombres antes o los dos después.
    void Confirmar(Escritor_destino* acompanante = nullptr);

  private:
    // Entrega el bloque actual al hilo de escritura y pasa a llenar el otro.
    void Volcar();
    // Espera a que el hilo acabe su bloque; lanza si su escritura falló.
    void Esperar();
    void Hilo_escritura();
    // Crea el temporal o abre el flujo (lo que hace el constructor, salvo el hilo).
    void Abrir();
    // Da al temporal el dueño, los permisos y los atributos del fichero que reemplaza.
    void Copiar_permisos();
    // Retira el temporal con nombre, si lo hay, y deja de contar el destino como en curso.
    void Descartar();
    [[noreturn]] void Fallar_escritura(const QString& razon);
    [[noreturn]] void Fallar_confirmacion(int error);
    // Da al temporal sin nombre un nombre propio en la carpeta; falso (con errno) si no pudo.
    bool Nombrar_temporal();
    // Lo que Confirmar hace antes de dar nombres: todo escrito, en disco, con nombre y cerrado.
    void Asegurar_temporal();
    // Con el registro bloqueado, el acompañante toma su nombre guardando el fichero que
    // reemplaza; Deshacer_nombre lo devuelve a su sitio (o quita el nuevo) y Soltar_reemplazado
    // borra el que se guardó, una vez que el destino tiene el suyo.
    void Tomar_nombre_guardando();
    void Deshacer_nombre();
    void Soltar_reemplazado(Registro_temporales& registro);

    Destino_resuelto destino_;
    Descriptor fichero_;
    Descriptor retenido_;       // otro descriptor del temporal, que guarda su cerrojo
    std::string temporal_;      // nombre del temporal en la carpeta; vacío mientras no tenga
    bool sin_nombre_ = false;   // el temporal se creó con O_TMPFILE
    bool en_curso_ = false;     // contado en el registro como destino en curso
    bool acompanante_ = false;  // no cuenta como destino; lo confirma el destino al que acompaña
    // El fichero que reemplazó el acompañante, guardado hasta que el destino tiene su nombre: en
    // `temporal_`, si se intercambiaron, o apartado con este nombre.
    bool intercambiado_ = false;
    std::string apartado_;
    bool nombrado_ = false;  // el acompañante tomó su nombre y aún se puede deshacer
    qsizetype tamano_bloque_;
    std::unique_ptr<char[]> bloques_;
    char* bufer_;  // el bloque que se está llenando
    qsizetype usado_ = 0;
    qint64 volcados_ = 0;  // bytes entregados al hilo (escritos o por escribir)

    std::mutex cerrojo_;
    std::condition_variable aviso_;
    const char* pendiente_ = nullptr;  // bloque entregado y aún sin escribir
    qsizetype largo_pendiente_ = 0;
    qint64 desplazamiento_pendiente_ = 0;
    QString error_;         // la razón del primer fallo del hilo de escritura
    int codigo_error_ = 0;  // y su código del sistema
    bool terminar_ = false;
    std::thread hilo_;
};

}  // namespace tesmalo
