// Lectura secuencial de un fichero de rejilla, línea a línea y campo a campo, con memoria fija.
//
// Una línea acaba en LF, en CRLF o en un CR suelto; ningún carácter de fin de línea queda en
// su texto, y un fin de línea al final del fichero no abre otra línea vacía. Los campos son las
// rachas de bytes que no son espacio (0x20) ni fin de línea: el tabulador es parte de un campo.
// Los bytes se entregan tal cual, sin decodificar.
#pragma once

#include <QFile>
#include <QString>
#include <QtGlobal>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <memory>
#include <stdexcept>
#include <string>

namespace tesmalo {

// Lanza std::runtime_error con el mensaje (en UTF-8).
[[noreturn]] void Fallar(const QString& mensaje);

// Un texto de fichero para citarlo en un mensaje: leído en la codificación del sistema, como
// mucho `largo` caracteres y con los de control a la vista como «\xNN».
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
    // Lee sólo el primer campo de la línea actual y deja el resto sin leer (el último campo
    // queda vacío). Para saber si una línea empieza por un número sin recorrerla entera.
    // Devuelve falso si la línea no tenía ningún campo: entonces ya se consumió su fin.
    bool Leer_primero(Extremos& extremos);

    // Entrega a `destino(const char*, qsizetype)` el siguiente campo de la línea actual, quizá
    // en varios trozos, y devuelve verdadero; si la línea no tiene más campos, consume su fin
    // de línea y devuelve falso.
    template <class Destino>
    bool Siguiente_campo(Destino&& destino) {
        if (!Buscar_campo()) return false;
        for (;;) {
            const char* inicio = p_;
            const char* p = p_;
            while (p < fin_ && !Es_separador(*p)) ++p;
            p_ = p;
            if (p > inicio) destino(inicio, p - inicio);
            if (p_ < fin_ || !Rellenar()) return true;
        }
    }

    // Copia en `salida` hasta `k` campos de la línea actual, cada uno precedido de un espacio
    // (el primero sólo si `espacio_delante`), y devuelve cuántos copió. Si son menos de `k`, la
    // línea se acabó y su fin de línea queda consumido. `salida` debe ofrecer Reservar(n) (un
    // puntero con sitio para n bytes, n no mayor que el bloque de lectura más uno) y Avanzar(n).
    // Es el camino caliente de la conversión: todo en variables locales, de ocho en ocho bytes.
    template <class Salida>
    qint64 Copiar_campos(Salida& salida, qint64 k, bool espacio_delante) {
        qint64 hechos = 0;
        bool en_campo = false;
        const char* p = p_;
        for (;;) {
            const char* const fin = fin_;
            // Cada campo escribe su espacio y sus bytes, y antes de cada uno salvo el primero
            // se ha consumido al menos un separador: no se escribe más de lo que queda más uno,
            // ni siquiera con los bytes de sobra de las copias por bloques, que nunca leen más
            // allá de `fin`.
            char* const q0 = salida.Reservar(fin - p + 1);
            char* q = q0;
            for (;;) {
                if (!en_campo) {
                    if (hechos == k) {
                        salida.Avanzar(q - q0);
                        p_ = p;
                        return hechos;
                    }
                    while (p < fin && *p == ' ') ++p;
                    if (p == fin) break;
                    if (*p == '\n' || *p == '\r') {
                        salida.Avanzar(q - q0);
                        p_ = p;
                        Terminar_linea();
                        return hechos;
                    }
                    if (espacio_delante) *q++ = ' ';
                    espacio_delante = true;
                    en_campo = true;
                }
                // Se copian bloques enteros y sólo se da por bueno lo que precede al primer
                // separador; la salida tiene sitio de sobra para los bytes que sobran.
#ifdef __SSE2__
                while (fin - p >= 16) {
                    const __m128i dieciseis = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(q), dieciseis);
                    const int marcas = _mm_movemask_epi8(
                        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(dieciseis, _mm_set1_epi8(' ')),
                                                  _mm_cmpeq_epi8(dieciseis, _mm_set1_epi8('\n'))),
                                     _mm_cmpeq_epi8(dieciseis, _mm_set1_epi8('\r'))));
                    if (marcas != 0) {
                        const int n = std::countr_zero(static_cast<unsigned>(marcas));
                        p += n;
                        q += n;
                        goto fin_de_campo;
                    }
                    p += 16;
                    q += 16;
                }
#endif
                while (fin - p >= 8) {
                    std::uint64_t ocho;
                    std::memcpy(&ocho, p, 8);
                    std::memcpy(q, &ocho, 8);
                    const std::uint64_t marcas = Marcar_separadores(ocho);
                    if (marcas != 0) {
                        const int n = (std::endian::native == std::endian::little
                                           ? std::countr_zero(marcas)
                                           : std::countl_zero(marcas)) /
                                      8;
                        p += n;
                        q += n;
                        goto fin_de_campo;
                    }
                    p += 8;
                    q += 8;
                }
                while (p < fin && !Es_separador(*p)) *q++ = *p++;
                if (p == fin) break;
            fin_de_campo:
                en_campo = false;
                ++hechos;
            }
            salida.Avanzar(q - q0);
            p_ = p;
            if (!Rellenar()) return hechos + (en_campo ? 1 : 0);
            p = p_;
        }
    }

    // Salta lo que queda de la línea actual, fin de línea incluido; devuelve cuántos campos tenía.
    qint64 Saltar_linea() {
        qint64 campos = 0;
        while (Siguiente_campo([](const char*, qsizetype) {})) ++campos;
        return campos;
    }

  private:
    // El bit alto de cada byte de `v` que sea espacio, CR o LF (y quizá de alguno posterior a
    // uno de ellos, lo que no importa porque sólo se busca el primero).
    static std::uint64_t Marcar_separadores(std::uint64_t v) {
        constexpr std::uint64_t unos = 0x0101010101010101ull, altos = 0x8080808080808080ull;
        const auto cero = [](std::uint64_t x) { return (x - unos) & ~x & altos; };
        return cero(v ^ (unos * ' ')) | cero(v ^ (unos * '\r')) | cero(v ^ (unos * '\n'));
    }
    static bool Es_separador(char c) {
        return Separadores[static_cast<unsigned char>(c)];
    }
    static constexpr auto Separadores = [] {
        std::array<bool, 256> tabla{};
        tabla[' '] = tabla['\n'] = tabla['\r'] = true;
        return tabla;
    }();

    // Salta espacios hasta el principio del siguiente campo y devuelve verdadero; si antes
    // acaba la línea (o el fichero), consume el fin de línea y devuelve falso.
    bool Buscar_campo() {
        for (;;) {
            const char* p = p_;
            while (p < fin_ && *p == ' ') ++p;
            p_ = p;
            if (p < fin_) break;
            if (!Rellenar()) return false;
        }
        if (*p_ == '\n' || *p_ == '\r') {
            Terminar_linea();
            return false;
        }
        return true;
    }
    void Terminar_linea();
    // Lee el siguiente bloque; falso al final del fichero. Lanza si la lectura falla o si el
    // fichero se acaba antes del tamaño que tenía al abrirlo (alguien lo acortó mientras se
    // leía: lo leído no es el fichero entero).
    bool Rellenar();

    QString ruta_;
    QFile fichero_;
    qsizetype tamano_bloque_;
    std::unique_ptr<char[]> bufer_;
    const char* p_ = nullptr;
    const char* fin_ = nullptr;
    qint64 lineas_terminadas_ = 0;
    qint64 tamano_al_abrir_ = -1;  // -1 si no es un fichero normal (una tubería, un dispositivo)
    qint64 bytes_leidos_ = 0;
};

}  // namespace tesmalo
