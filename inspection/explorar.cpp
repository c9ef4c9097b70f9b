#include "inspection/explorar.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "conversion/cabecera.h"
#include "conversion/lector.h"
#include "fields/numero.h"
#include "inspection/indicios.h"
#include "sistema/carpetas.h"
#include "sistema/descriptor.h"

namespace tesmalo {
namespace {

// El contador de líneas es un entero de 16 bits con signo.
constexpr qint32 Maximo_contador = 32767;

}  // namespace

bool Se_lee_una_vez(const QString& ruta) {
    const auto estado = Estado(ruta);
    return estado && !S_ISREG(estado->st_mode) && !S_ISDIR(estado->st_mode);
}

Datos_cabecera Explorar_cabecera(const QString& Ruta_origen) {
    // Tras explorar viene la conversión, que lee el origen otra vez.
    if (Se_lee_una_vez(Ruta_origen))
        Fallar(QStringLiteral("El fichero de origen «%1» no es un fichero normal (es una tubería, "
                              "un dispositivo o un zócalo) y sólo se puede leer una vez; hay que "
                              "leerlo dos veces, una para explorar su cabecera y otra para "
                              "convertirlo.")
                   .arg(Ruta_origen));
    Lector_origen origen(Ruta_origen);
    return Explorar_cabecera(origen);
}

Datos_cabecera Explorar_cabecera(Lector_origen& origen) {
    const QString& Ruta_origen = origen.Ruta();
    Datos_cabecera datos;
    Extremos e;
    qint32 n = 1;
    qint32 linea_columnas = 0, linea_filas = 0;  // las que dieron cada cuenta
    bool grass = false;                          // si alguna línea lleva una clave GRASS
    // Lo leído, para decir la causa cuando se ve en ello (UTF-16, Surfer, coma decimal).
    Indicios_origen indicios;
    const auto explicar = [&] {
        if (const QString causa = indicios.Explicar(Ruta_origen); !causa.isEmpty()) Fallar(causa);
    };
    for (;;) {
        if (origen.Al_final()) {
            explicar();
            Fallar(QStringLiteral("El fichero «%1» se acaba sin llegar a ninguna línea de valores "
                                  "(una línea que empiece por un número).")
                       .arg(Ruta_origen));
        }
        // De las líneas 1 y 2 hace falta el último campo; de las demás basta el primero, y
        // sólo se sigue leyendo la línea si no es de valores: una rejilla entera en una sola
        // línea no se recorre.
        bool queda_linea = false;
        if (n <= 2)
            origen.Leer_extremos(e);
        else
            queda_linea = origen.Leer_primero(e);
        indicios.Mirar(n, e);
        // Una línea que empieza por ncols o nrows (o cols: o rows:) da esa cuenta, esté donde
        // esté; las líneas 1 y 2 sin clave la dan por su posición.
        const Clave_cuenta clave = e.primero_largo ? Clave_cuenta() : Reconocer_cuenta(e.primero);
        using Tipo = Clave_cuenta::Tipo;
        Tipo cuenta = clave.tipo;
        if (cuenta == Tipo::Ninguna && n <= 2) cuenta = n == 1 ? Tipo::Columnas : Tipo::Filas;
        grass = grass || clave.grass;
        if (cuenta == Tipo::Columnas || cuenta == Tipo::Filas) {
            if (queda_linea) {
                Extremos resto;
                origen.Leer_extremos(resto);
                // Sin nada más en la línea, el último campo es el primero.
                if (!resto.ultimo.empty() || resto.ultimo_largo) {
                    e.ultimo = std::move(resto.ultimo);
                    e.ultimo_largo = resto.ultimo_largo;
                } else {
                    e.ultimo = e.primero;
                }
                queda_linea = false;
            }
            const bool pegado = !clave.pegado.empty() && e.primero == e.ultimo;
            const std::string_view valor = pegado ? clave.pegado : std::string_view(e.ultimo);
            const bool columnas = cuenta == Tipo::Columnas;
            qint32& linea_cuenta = columnas ? linea_columnas : linea_filas;
            if (linea_cuenta != 0)
                Fallar(QStringLiteral("Las líneas %1 y %2 de «%3» dan las dos el número de %4; "
                                      "sólo puede haber una.")
                           .arg(linea_cuenta)
                           .arg(n)
                           .arg(Ruta_origen,
                                columnas ? QStringLiteral("columnas") : QStringLiteral("filas")));
            linea_cuenta = n;
            try {
                (columnas ? datos.columnas : datos.filas) = Leer_cuenta(
                    origen, n, valor, e.ultimo_largo && !pegado, columnas ? "columnas" : "filas");
            } catch (const std::runtime_error&) {
                explicar();
                throw;
            }
        }
        if (n == Maximo_contador) {
            explicar();
            Fallar(QStringLiteral("La cabecera de «%1» tiene demasiadas líneas: no aparece ninguna "
                                  "línea de valores en las primeras %2.")
                       .arg(Ruta_origen)
                       .arg(Maximo_contador - 1));
        }
        ++n;
        // Una línea de valores puede empezar por «nan» o «inf» (una rejilla que enmascara sus
        // primeras filas): para hallarla valen como valores.
        if (!e.primero_largo && Es_valor(QByteArrayView(e.primero))) break;
        // En una rejilla GRASS, una celda sin datos es «*»: también abre los valores.
        if (grass && e.primero == "*") break;
        if (queda_linea) origen.Saltar_linea();
    }
    // Una línea de números con coma decimal que no se leen se habría contado como cabecera.
    if (indicios.Hay_coma_decimal()) explicar();
    datos.lineas_cabecera = static_cast<qint16>(n - 2);
    return datos;
}

std::unique_ptr<Lector_origen> Abrir_origen(const QString& ruta) {
    if (ruta != QStringLiteral("-")) return std::make_unique<Lector_origen>(ruta);
    // Una copia del descriptor: el lector la cierra al acabar y la entrada estándar sigue.
    return std::make_unique<Lector_origen>(Copiar_descriptor(STDIN_FILENO), ruta);
}

Origen_preparado Preparar_origen(const QString& ruta, std::optional<qint32> cabecera,
                                 std::optional<qint32> columnas, std::optional<qint32> filas) {
    Origen_preparado p;
    p.lector = Abrir_origen(ruta);
    if (cabecera && *cabecera >= 2 && (!columnas || !filas)) {
        // Las líneas de cabecera dadas tienen las dos cuentas: se leen como las lee la
        // conversión, sin explorar, que podría no hallar los valores o hallar otra cabecera.
        if (p.lector->Se_lee_una_vez()) p.lector->Retener();
        Cabecera_destino c;
        try {
            c = Leer_cabecera(*p.lector, *cabecera);
        } catch (const std::runtime_error&) {
            // Un fichero en UTF-16 o una rejilla de Surfer fallan en la línea 1: se dice eso,
            // si se puede volver a leer su principio; si no, el error de la cabecera.
            QString causa;
            try {
                p.lector->Volver_al_principio();
                causa = Explicar_principio(*p.lector);
            } catch (const std::runtime_error&) {
            }
            if (!causa.isEmpty()) Fallar(causa);
            throw;
        }
        p.lector->Volver_al_principio();
        columnas = columnas.value_or(c.columnas);
        filas = filas.value_or(c.filas);
    } else if (!cabecera || !columnas || !filas) {
        if (p.lector->Se_lee_una_vez()) p.lector->Retener();
        const Datos_cabecera d = Explorar_cabecera(*p.lector);
        p.lector->Volver_al_principio();
        cabecera = cabecera.value_or(d.lineas_cabecera);
        columnas = columnas.value_or(d.columnas);
        filas = filas.value_or(d.filas);
    }
    p.cabecera = *cabecera;
    p.columnas = *columnas;
    p.filas = *filas;
    return p;
}

}  // namespace tesmalo
