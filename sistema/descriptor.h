// Un descriptor de fichero que se cierra al destruirse (por Sistema_ficheros).
#pragma once

#include <utility>

#include "sistema/ficheros.h"

namespace tesmalo {

class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& otro) noexcept : fd_(std::exchange(otro.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& otro) noexcept {
        std::swap(fd_, otro.fd_);
        return *this;
    }
    ~Descriptor() { Cerrar(); }
    int Fd() const { return fd_; }
    // Cierra y devuelve lo que devolvió close (0 si ya estaba cerrado). Tras un close fallido
    // el descriptor ya no vale: no se repite.
    int Cerrar() { return fd_ < 0 ? 0 : Sistema_ficheros().Cerrar(std::exchange(fd_, -1)); }

  private:
    int fd_ = -1;
};

// Una copia de `fd` (Duplicar), que se cierra sola; no vale (Fd() < 0, con errno) si no se pudo.
inline Descriptor Copiar_descriptor(int fd) {
    return Descriptor(Sistema_ficheros().Duplicar(fd));
}

}  // namespace tesmalo
