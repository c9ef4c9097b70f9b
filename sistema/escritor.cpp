#include "sistema/escritor.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <system_error>

#include "sistema/ficheros.h"
#include "sistema/razones.h"

namespace tesmalo {

Escritor_destino::Escritor_destino(Destino_resuelto destino, qsizetype tamano_bloque,
                                   bool acompanante)
    : destino_(std::move(destino)),
      acompanante_(acompanante),
      tamano_bloque_(tamano_bloque),
      bloques_(new char[2 * tamano_bloque]),
      bufer_(bloques_.get()) {
    // Si algo falla a partir de aquí, el destructor no corre: lo que haya creado se retira aquí.
    try {
        Abrir();
        hilo_ = std::thread(&Escritor_destino::Hilo_escritura, this);
    } catch (...) {
        Descartar();
        throw;
    }
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
    Descartar();
}

void Escritor_destino::Hilo_escritura() {
    const bool flujo = destino_.tipo == Destino_resuelto::Tipo::Flujo;
    std::unique_lock bloqueo(cerrojo_);
    for (;;) {
        aviso_.wait(bloqueo, [this] { return pendiente_ != nullptr || terminar_; });
        if (pendiente_ == nullptr) return;
        const char* datos = pendiente_;
        qint64 n = largo_pendiente_;
        const qint64 desplazamiento = desplazamiento_pendiente_;
        bloqueo.unlock();
        int error = 0;
        while (n > 0) {
            const ssize_t escritos =
                Sistema_ficheros().Escribir(fichero_.Fd(), datos, static_cast<size_t>(n));
            if (escritos < 0 && errno == EINTR) continue;
            if (escritos <= 0) {
                error = escritos < 0 ? errno : ENOSPC;
                break;
            }
            datos += escritos;
            n -= escritos;
        }
        // Que el sistema empiece ya a llevar el bloque a disco, sin esperar: así la espera
        // final al confirmar es corta. Un fallo aquí es un fallo del disco como cualquier otro.
        if (error == 0 && !flujo &&
            Sistema_ficheros().Empezar_a_llevar_a_disco(fichero_.Fd(), desplazamiento,
                                                        largo_pendiente_) != 0 &&
            errno != ENOSYS)
            error = errno;
        bloqueo.lock();
        if (error != 0 && error_.isEmpty()) {
            error_ = Razon_del_sistema(error);
            codigo_error_ = error;
        }
        pendiente_ = nullptr;
        aviso_.notify_all();
    }
}

void Escritor_destino::Esperar() {
    std::unique_lock bloqueo(cerrojo_);
    aviso_.wait(bloqueo, [this] { return pendiente_ == nullptr; });
    if (!error_.isEmpty()) {
        const QString razon = error_;
        const int codigo = codigo_error_;
        bloqueo.unlock();
        // Un flujo que se quedó sin lector (EPIPE) lleva la causa anidada, para que quien
        // llama acabe callado, como cualquier orden cuya salida se cierra.
        if (codigo != EPIPE) Fallar_escritura(razon);
        try {
            throw std::system_error(codigo, std::generic_category());
        } catch (const std::system_error&) {
            std::throw_with_nested(std::runtime_error(
                QStringLiteral("No se puede escribir en el fichero de destino «%1»: %2.")
                    .arg(destino_.ruta, razon)
                    .toStdString()));
        }
    }
}

void Escritor_destino::Fallar_escritura(const QString& razon) {
    Fallar(QStringLiteral("No se puede escribir en el fichero de destino «%1»: %2.")
               .arg(destino_.ruta, razon));
}

void Escritor_destino::Fallar_confirmacion(int error) {
    Fallar(QStringLiteral("No se puede completar el fichero de destino «%1»: %2.")
               .arg(destino_.ruta, Razon_del_sistema(error)));
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
    if (destino_.tipo == Destino_resuelto::Tipo::Flujo)
        Fallar(QStringLiteral("La última fila de la rejilla está incompleta y no se puede quitar "
                              "del destino «%1»: es un flujo y ya recibió parte de ella.")
                   .arg(destino_.ruta));
    if (Sistema_ficheros().Truncar(fichero_.Fd(), posicion) != 0 ||
        Sistema_ficheros().Desplazar(fichero_.Fd(), posicion, SEEK_SET) != posicion)
        Fallar_escritura(Razon_del_sistema(errno));
    volcados_ = posicion;
}

void Escritor_destino::Terminar_escritura() {
    Volcar();
    Esperar();
}

}  // namespace tesmalo
