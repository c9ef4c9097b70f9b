// Escritura del fichero de destino por bloques grandes, a un temporal de su carpeta que sólo
// toma el nombre del destino al confirmarlo: hasta entonces, el fichero que ya tuviera ese
// nombre sigue intacto, y si algo falla o se interrumpe no queda nada.
//
// Los bloques llenos se escriben en un hilo aparte mientras se llena el siguiente, para que la
// copia al sistema de ficheros se solape con la conversión. Sólo ese hilo toca el fichero
// mientras tiene un bloque; quien escribe lo espera antes de volver a tocarlo.
#pragma once

#include <QSaveFile>
#include <QString>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace tesmalo {

class Escritor_destino {
  public:
    static constexpr qsizetype Tamano_predeterminado = 2 << 20;

    // Crea el temporal; lanza si la ruta está vacía o no se puede crear.
    explicit Escritor_destino(const QString& ruta, qsizetype tamano_bloque = Tamano_predeterminado);
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
    // Descarta todo lo escrito desde `posicion`.
    void Retroceder(qint64 posicion);
    // Escribe lo pendiente y espera a que esté escrito; lanza si no se pudo.
    void Terminar_escritura();
    // Termina la escritura, pasa el temporal a disco y le da el nombre del destino.
    void Confirmar();

  private:
    // Entrega el bloque actual al hilo de escritura y pasa a llenar el otro.
    void Volcar();
    // Espera a que el hilo acabe su bloque; lanza si su escritura falló.
    void Esperar();
    void Hilo_escritura();
    [[noreturn]] void Fallar_escritura(const QString& razon);

    QString ruta_;
    QSaveFile fichero_;
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
    QString error_;
    bool terminar_ = false;
    std::thread hilo_;
};

}  // namespace tesmalo
