#include "conversion/escritor.h"

#include "conversion/lector.h"

namespace tesmalo {

Escritor_destino::Escritor_destino(const QString& ruta, qsizetype tamano_bloque)
    : ruta_(ruta), fichero_(ruta), tamano_bloque_(tamano_bloque), bufer_(new char[tamano_bloque]) {
    if (ruta.isEmpty()) Fallar(QStringLiteral("No se ha indicado el fichero de destino."));
    if (!fichero_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: %2.")
                   .arg(ruta, fichero_.errorString()));
}

void Escritor_destino::Fallar_escritura() {
    const QString razon = fichero_.errorString();
    fichero_.cancelWriting();
    Fallar(QStringLiteral("No se puede escribir en el fichero de destino «%1»: %2.").arg(ruta_, razon));
}

void Escritor_destino::Escribir(const char* datos, qint64 n) {
    while (n > 0) {
        const qint64 escritos = fichero_.write(datos, n);
        if (escritos <= 0) Fallar_escritura();
        datos += escritos;
        n -= escritos;
        volcados_ += escritos;
    }
}

void Escritor_destino::Volcar() {
    const qsizetype n = usado_;
    usado_ = 0;
    Escribir(bufer_.get(), n);
}

void Escritor_destino::Retroceder(qint64 posicion) {
    if (posicion >= volcados_) {
        usado_ = static_cast<qsizetype>(posicion - volcados_);
        return;
    }
    usado_ = 0;
    if (!fichero_.resize(posicion) || !fichero_.seek(posicion)) Fallar_escritura();
    volcados_ = posicion;
}

void Escritor_destino::Confirmar() {
    Volcar();
    if (!fichero_.commit())
        Fallar(QStringLiteral("No se puede completar el fichero de destino «%1»: %2.")
                   .arg(ruta_, fichero_.errorString()));
}

}  // namespace tesmalo
