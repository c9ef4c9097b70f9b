// Lectura secuencial de un fichero de rejilla, línea a línea y campo a campo, con memoria fija.
//
// Una línea acaba en LF, en CRLF o en un CR suelto; ningún carácter de fin de línea queda en
// su texto, y un fin de línea al final del fichero no abre otra línea vacía. Los campos son las
// rachas de bytes que no son espacio (0x20) ni fin de línea: el tabulador es parte de un campo.
// Los bytes se entregan tal cual, sin decodificar.
#pragma once

#include <QFile>
#include <QString>
#include <memory>
#include <stdexcept>
#include <string>

namespace tesmalo {

// Lanza std::runtime_error con el mensaje (en UTF-8).
[[noreturn]] void Fallar(const QString& mensaje);

// Un texto de fichero para citarlo en un mensaje: como mucho `largo` caracteres, y los bytes
// de control a la vista como «\xNN».
QString Citar(std::string_view texto, qsizetype largo = 40);

// El primer y el último campo de una línea, como los daría Separar_campos con " ". Una línea
// vacía o de sólo espacios tiene un único campo vacío. Un campo de más de Largo_maximo bytes se
// guarda cortado y con `largo` a verdadero: ningún número de una cabecera es tan largo.
struct Extremos {
    static constexpr std::size_t Largo_maximo = 1 << 16;
    std::string primero, ultimo;
    bool primero_largo = false, ultimo_largo = false;
};

class Lector_origen {
public:
    static constexpr qsizetype Tamano_predeterminado = 1 << 20;

    // Abre `ruta` para leer; lanza si no se puede o si es una carpeta.
    explicit Lector_origen(const QString& ruta, qsizetype tamano_bloque = Tamano_predeterminado);

    const QString& Ruta() const { return ruta_; }
    // Número (desde 1) de la línea que se está leyendo o que se leerá a continuación.
    qint64 Linea() const { return lineas_terminadas_ + 1; }

    // Verdadero si no queda ninguna línea por leer.
    bool Al_final() {
        if (p_ < fin_) return false;
        return !Rellenar();
    }

    // Lee lo que queda de la línea actual, fin de línea incluido, y guarda sus extremos.
    void Leer_extremos(Extremos& extremos);

    // Entrega a `destino(const char*, qsizetype)` el siguiente campo de la línea actual, quizá
    // en varios trozos, y devuelve verdadero; si la línea no tiene más campos, consume su fin
    // de línea y devuelve falso.
    template <class Destino>
    bool Siguiente_campo(Destino&& destino) {
        for (;;) {
            while (p_ < fin_ && *p_ == ' ') ++p_;
            if (p_ < fin_) break;
            if (!Rellenar()) return false;
        }
        if (*p_ == '\n' || *p_ == '\r') {
            Terminar_linea();
            return false;
        }
        for (;;) {
            const char* inicio = p_;
            while (p_ < fin_ && !Es_separador(*p_)) ++p_;
            if (p_ > inicio) destino(inicio, p_ - inicio);
            if (p_ < fin_ || !Rellenar()) return true;
        }
    }

    // Salta lo que queda de la línea actual, fin de línea incluido; devuelve cuántos campos tenía.
    qint64 Saltar_linea() {
        qint64 campos = 0;
        while (Siguiente_campo([](const char*, qsizetype) {})) ++campos;
        return campos;
    }

private:
    static bool Es_separador(char c) {
        return c == ' ' || c == '\n' || c == '\r';
    }
    void Terminar_linea();
    // Lee el siguiente bloque; falso al final del fichero. Lanza si la lectura falla.
    bool Rellenar();

    QString ruta_;
    QFile fichero_;
    qsizetype tamano_bloque_;
    std::unique_ptr<char[]> bufer_;
    const char* p_ = nullptr;
    const char* fin_ = nullptr;
    qint64 lineas_terminadas_ = 0;
};

}  // namespace tesmalo
