// Escritura del fichero de destino por bloques grandes, a un temporal de su carpeta que sólo
// toma el nombre del destino al confirmarlo: hasta entonces, el fichero que ya tuviera ese
// nombre sigue intacto, y si algo falla o se interrumpe no queda nada.
#pragma once

#include <QSaveFile>
#include <QString>
#include <cstring>
#include <memory>

namespace tesmalo {

class Escritor_destino {
public:
    static constexpr qsizetype Tamano_predeterminado = 1 << 20;

    // Crea el temporal; lanza si la ruta está vacía o no se puede crear.
    explicit Escritor_destino(const QString& ruta, qsizetype tamano_bloque = Tamano_predeterminado);

    void Anadir(const char* datos, qsizetype n) {
        if (n > tamano_bloque_ - usado_) {
            Volcar();
            if (n >= tamano_bloque_) return Escribir(datos, n);
        }
        std::memcpy(bufer_.get() + usado_, datos, static_cast<std::size_t>(n));
        usado_ += n;
    }
    void Anadir(char c) {
        if (usado_ == tamano_bloque_) Volcar();
        bufer_[usado_++] = c;
    }

    // Bytes escritos hasta ahora, volcados o no.
    qint64 Posicion() const { return volcados_ + usado_; }
    // Descarta todo lo escrito desde `posicion`.
    void Retroceder(qint64 posicion);
    // Vuelca lo pendiente, pasa el temporal a disco y le da el nombre del destino.
    void Confirmar();

private:
    void Volcar();
    void Escribir(const char* datos, qint64 n);
    [[noreturn]] void Fallar_escritura();

    QString ruta_;
    QSaveFile fichero_;
    qsizetype tamano_bloque_;
    std::unique_ptr<char[]> bufer_;
    qsizetype usado_ = 0;
    qint64 volcados_ = 0;
};

}  // namespace tesmalo
