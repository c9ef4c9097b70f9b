// Lectura secuencial de un fichero de rejilla, línea a línea y campo a campo, con memoria fija.
//
// Una línea acaba en LF, en CRLF o en un CR suelto; ningún carácter de fin de línea queda en
// su texto, y un fin de línea al final del fichero no abre otra línea vacía. Los campos son las
// rachas de bytes que no son espacio (0x20), tabulador (0x09) ni fin de línea: cualquier racha de
// espacios y tabuladores separa dos valores, en la cabecera y entre los valores, como la leen
// los demás programas. Los bytes se entregan tal cual, sin decodificar. Los bloques los lee del
// sistema Origen_abierto (sistema/origen.h); aquí sólo se recorren.
#pragma once

#include <sys/stat.h>

#include <QFile>
#include <QString>
#include <QtGlobal>
#include <array>
#include <memory>
#include <stdexcept>
#include <string>

#include "conversion/escaner.h"
#include "sistema/descriptor.h"
#include "sistema/origen.h"
#include "sistema/razones.h"

namespace tesmalo {

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

    // Lo más que guarda Retener: la cabecera de un origen que sólo se lee una vez cabe de
    // sobra, y la memoria del proceso sigue acotada con cualquier entrada.
    static constexpr qsizetype Retenido_maximo = Origen_abierto::Retenido_maximo;

    // Abre `ruta` para leer; lanza si no se puede o si es una carpeta.
    explicit Lector_origen(const QString& ruta, qsizetype tamano_bloque = Tamano_predeterminado);
    // Lee del descriptor ya abierto `fichero` (la entrada estándar, por ejemplo), que los
    // mensajes llaman `ruta`; lanza si no vale o si es una carpeta.
    Lector_origen(Descriptor fichero, const QString& ruta,
                  qsizetype tamano_bloque = Tamano_predeterminado);

    // Verdadero si el origen no es un fichero normal (una tubería, un FIFO, un dispositivo):
    // lo leído ya no se puede volver a leer de él.
    bool Se_lee_una_vez() const { return origen_.Se_lee_una_vez(); }
    // Antes de leer nada: guarda todo lo que se lea desde ahora, para que Volver_al_principio
    // lo entregue otra vez en un origen que se lee una vez. Leer más de Retenido_maximo bytes
    // así es un error que pide las cuentas, para no tener que leer tanto dos veces.
    void Retener();
    // Vuelve a la primera línea: un fichero normal, desde su principio; un origen que se lee
    // una vez, con lo guardado desde Retener seguido de lo que queda sin leer. Lanza si no se
    // puede (un origen que se lee una vez sin Retener).
    void Volver_al_principio();

    const QString& Ruta() const { return ruta_; }
    // Lo que dice el sistema del fichero abierto (su fstat al abrirlo).
    const struct stat& Estado() const { return origen_.Estado(); }
    int Fd() const { return origen_.Fd(); }
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

    // Copia en `salida` los `k` campos siguientes, cada uno precedido de un espacio (el primero
    // sólo si `espacio_delante`), y devuelve cuántos copió. Los fines de línea entre ellos son
    // separadores como los espacios y los tabuladores: una línea sin campos no aporta ninguno. Tras
    // el último campo copiado, el separador que lo sigue queda sin leer; si son menos de `k`, el
    // fichero se acabó. `salida` debe ofrecer Reservar(n) (un puntero con sitio para n bytes, n no
    // mayor que el bloque de lectura más uno) y Avanzar(n). Es el camino caliente de la conversión:
    // bloques de 64 bytes con el escáner en uso (conversion/escaner.h) y byte a byte sólo lo que
    // queda al final de cada bloque de lectura.
    template <class Salida>
    qint64 Copiar_campos(Salida& salida, qint64 k, bool espacio_delante) {
        if (k <= 0) return 0;
        const Copiador_bloques copiar_bloques = Copiador_en_uso();
        Copia_campos copia;
        copia.p = p_;
        copia.quedan = k;
        copia.espacio = espacio_delante;
        for (;;) {
            const char* const fin = fin_;
            // La salida no va nunca por delante de lo leído en más de un espacio.
            char* const q0 = salida.Reservar(fin - copia.p + 1);
            copia.q = q0;
            if (fin - copia.p >= 64) copiar_bloques(copia, fin);
            Copiar_resto(copia, fin);
            salida.Avanzar(copia.q - q0);
            p_ = copia.p;
            lineas_terminadas_ += copia.lineas;
            copia.lineas = 0;
            if (copia.quedan == 0) return k;
            if (!Rellenar()) return k - copia.quedan + (copia.en_campo ? 1 : 0);
            copia.p = p_;
        }
    }

    // Salta lo que queda de la línea actual, fin de línea incluido; devuelve cuántos campos tenía.
    qint64 Saltar_linea() {
        qint64 campos = 0;
        while (Siguiente_campo([](const char*, qsizetype) {})) ++campos;
        return campos;
    }

  private:
    // Copia_campos byte a byte hasta `fin` o hasta completar los campos pedidos.
    static void Copiar_resto(Copia_campos& copia, const char* fin) {
        const char* p = copia.p;
        char* q = copia.q;
        while (copia.quedan > 0 && p < fin) {
            const char c = *p;
            if (Es_separador(c)) {
                if (copia.en_campo) {
                    copia.en_campo = false;
                    if (--copia.quedan == 0) break;
                }
                // Un CR es siempre un fin de línea; un LF, salvo detrás de un CR.
                if (c == '\r' || (c == '\n' && !copia.cr_previo)) ++copia.lineas;
                copia.cr_previo = c == '\r';
            } else {
                if (!copia.en_campo) {
                    if (copia.espacio) *q++ = ' ';
                    copia.espacio = copia.en_campo = true;
                }
                copia.cr_previo = false;
                *q++ = c;
            }
            ++p;
        }
        copia.p = p;
        copia.q = q;
    }
    static bool Es_separador(char c) { return Separadores[static_cast<unsigned char>(c)]; }
    static constexpr auto Separadores = [] {
        std::array<bool, 256> tabla{};
        tabla[' '] = tabla['\t'] = tabla['\n'] = tabla['\r'] = true;
        return tabla;
    }();

    // Salta espacios y tabuladores hasta el principio del siguiente campo y devuelve verdadero;
    // si antes acaba la línea (o el fichero), consume el fin de línea y devuelve falso.
    bool Buscar_campo() {
        for (;;) {
            const char* p = p_;
            while (p < fin_ && (*p == ' ' || *p == '\t')) ++p;
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
    // leía: lo leído no es el fichero entero); salvo en los ficheros de /sys, /proc y otros
    // que fabrica el núcleo, cuyo tamaño no es su largo.
    bool Rellenar();

    // Termina de abrir: dice por qué no se pudo (`error`) o si es una carpeta.
    void Abrir(int error);

    QString ruta_;
    // La lectura del sistema: `p_` y `fin_` señalan el bloque que dio.
    Origen_abierto origen_;
    const char* p_ = nullptr;
    const char* fin_ = nullptr;
    qint64 lineas_terminadas_ = 0;
};

}  // namespace tesmalo
