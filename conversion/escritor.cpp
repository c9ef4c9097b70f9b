#include "conversion/escritor.h"

#include "conversion/lector.h"

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif

namespace tesmalo {

Escritor_destino::Escritor_destino(const QString& ruta, qsizetype tamano_bloque)
    : ruta_(ruta),
      fichero_(ruta),
      tamano_bloque_(tamano_bloque),
      bloques_(new char[2 * tamano_bloque]),
      bufer_(bloques_.get()) {
    if (ruta.isEmpty()) Fallar(QStringLiteral("No se ha indicado el fichero de destino."));
    if (!fichero_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: %2.")
                   .arg(ruta, fichero_.errorString()));
    hilo_ = std::thread(&Escritor_destino::Hilo_escritura, this);
}

Escritor_destino::~Escritor_destino() {
    if (hilo_.joinable()) {
        {
            std::lock_guard bloqueo(cerrojo_);
            terminar_ = true;
        }
        aviso_.notify_all();
        hilo_.join();
    }
    // Sin commit, QSaveFile borra el temporal al destruirse.
}

void Escritor_destino::Hilo_escritura() {
    std::unique_lock bloqueo(cerrojo_);
    for (;;) {
        aviso_.wait(bloqueo, [this] { return pendiente_ != nullptr || terminar_; });
        if (pendiente_ == nullptr) return;
        const char* datos = pendiente_;
        qint64 n = largo_pendiente_;
        const qint64 desplazamiento = desplazamiento_pendiente_;
        bloqueo.unlock();
        QString error;
        while (n > 0) {
            const qint64 escritos = fichero_.write(datos, n);
            if (escritos <= 0) {
                error = fichero_.errorString();
                break;
            }
            datos += escritos;
            n -= escritos;
        }
#ifdef Q_OS_LINUX
        // Que el sistema empiece ya a llevar el bloque a disco, sin esperar: así la espera
        // final al confirmar es corta.
        if (error.isEmpty())
            ::sync_file_range(fichero_.handle(), desplazamiento, largo_pendiente_,
                              SYNC_FILE_RANGE_WRITE);
#else
        Q_UNUSED(desplazamiento);
#endif
        bloqueo.lock();
        if (!error.isEmpty() && error_.isEmpty()) error_ = error;
        pendiente_ = nullptr;
        aviso_.notify_all();
    }
}

void Escritor_destino::Esperar() {
    std::unique_lock bloqueo(cerrojo_);
    aviso_.wait(bloqueo, [this] { return pendiente_ == nullptr; });
    if (!error_.isEmpty()) {
        const QString razon = error_;
        bloqueo.unlock();
        Fallar_escritura(razon);
    }
}

void Escritor_destino::Fallar_escritura(const QString& razon) {
    Fallar(QStringLiteral("No se puede escribir en el fichero de destino «%1»: %2.")
               .arg(ruta_, razon));
}

void Escritor_destino::Volcar() {
    Esperar();
    if (usado_ == 0) return;
    {
        std::lock_guard bloqueo(cerrojo_);
        pendiente_ = bufer_;
        largo_pendiente_ = usado_;
        desplazamiento_pendiente_ = volcados_;
    }
    aviso_.notify_all();
    volcados_ += usado_;
    usado_ = 0;
    bufer_ = bufer_ == bloques_.get() ? bloques_.get() + tamano_bloque_ : bloques_.get();
}

void Escritor_destino::Retroceder(qint64 posicion) {
    if (posicion >= volcados_) {
        usado_ = static_cast<qsizetype>(posicion - volcados_);
        return;
    }
    Esperar();
    usado_ = 0;
    if (!fichero_.resize(posicion) || !fichero_.seek(posicion))
        Fallar_escritura(fichero_.errorString());
    volcados_ = posicion;
}

void Escritor_destino::Terminar_escritura() {
    Volcar();
    Esperar();
}

void Escritor_destino::Confirmar() {
    Terminar_escritura();
    if (!fichero_.commit())
        Fallar(QStringLiteral("No se puede completar el fichero de destino «%1»: %2.")
                   .arg(ruta_, fichero_.errorString()));
}

}  // namespace tesmalo
