#include "conversion/cabecera.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "fields/campos.h"
#include "fields/numero.h"

namespace tesmalo {
namespace {

// El contador de líneas de la cabecera es un entero de 16 bits con signo.
constexpr qint32 Maximo_lineas_cabecera = 32766;

// Lo que puede decir una línea de cabecera: los huecos de Esri y después los de GRASS.
enum Hueco {
    Columnas,
    Filas,
    X,
    Y,
    Celda,
    Dx,
    Dy,
    Sin_datos,
    Norte,
    Sur,
    Este,
    Oeste,
    Filas_grass,
    Columnas_grass,
    Nulo,
    Tipo,
    Multiplicador,
    Huecos
};
constexpr bool Es_grass(Hueco h) {
    return h >= Norte;
}

struct Clave {
    const char* nombre;
    Hueco hueco;
};
constexpr Clave Claves_esri[] = {{"ncols", Columnas},        {"nrows", Filas}, {"xllcorner", X},
                                 {"xllcenter", X},           {"yllcorner", Y}, {"yllcenter", Y},
                                 {"cellsize", Celda},        {"dx", Dx},       {"dy", Dy},
                                 {"nodata_value", Sin_datos}};
constexpr Clave Claves_grass[] = {
    {"north", Norte}, {"south", Sur},        {"east", Este},
    {"west", Oeste},  {"rows", Filas_grass}, {"cols", Columnas_grass},
    {"null", Nulo},   {"type", Tipo},        {"multiplier", Multiplicador}};

// Lo que da cada una de las seis primeras líneas cuando no lleva clave.
constexpr Clave Por_posicion[6] = {{"ncols", Columnas}, {"nrows", Filas},
                                   {"xllcorner", X},    {"yllcorner", Y},
                                   {"cellsize", Celda}, {"nodata_value", Sin_datos}};

// La clave que abre una línea, y el valor pegado tras los dos puntos de una clave GRASS.
struct Clave_linea {
    Clave clave;
    std::string_view pegado;
};

bool Igual_sin_caso(std::string_view a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

std::optional<Clave_linea> Reconocer(std::string_view primero) {
    for (const Clave& k : Claves_esri)
        if (Igual_sin_caso(primero, k.nombre)) return Clave_linea{k, {}};
    const std::size_t dos_puntos = primero.find(':');
    if (dos_puntos == std::string_view::npos) return std::nullopt;
    for (const Clave& k : Claves_grass)
        if (Igual_sin_caso(primero.substr(0, dos_puntos), k.nombre))
            return Clave_linea{k, primero.substr(dos_puntos + 1)};
    return std::nullopt;
}

QByteArray Linea_cabecera(const char* clave, QByteArrayView valor) {
    return Recortar(Rellenar_texto(clave, 14, " ").append(valor)).toByteArray();
}

// El valor de un número de la cabecera tal como lo escribe un fichero de rejilla: con punto
// decimal, sea cual sea la configuración del usuario (el corte también parte por el punto).
std::optional<double> Valor_llano(QByteArrayView texto) {
    return Leer_numero(texto, QLocale::c());
}

// El texto más corto que se lee como `v` exactamente.
QByteArray Texto_exacto(double v) {
    char texto[64];
    const auto r = std::to_chars(texto, texto + sizeof texto, v);
    return QByteArray(texto, r.ptr - texto);
}

// Lo que dio una línea de cabecera para un hueco: el texto del origen y su forma cortada.
struct Entrada {
    QByteArray origen, cortado;
    qint64 linea = 0;  // 0: ninguna línea lo dio
    const char* clave = nullptr;
    bool Leida() const { return linea != 0; }
};

// Verdadero si escribir `v.cortado` en vez de `v.origen` no cambia el número en `tolerancia` o
// más. Un origen que no es un número no se puede medir, y se corta como siempre; un corte que
// deja de ser un número («258.5e3» da «258.5e») no es inofensivo.
// Con `a_lo_largo` columnas o filas, el cambio sumado a lo largo de ellas tiene que quedarse
// también por debajo de una centésima de `celda`.
bool Corte_inofensivo(const Entrada& v, std::optional<double> tolerancia, double a_lo_largo = 0,
                      double celda = 0) {
    const auto origen = Valor_llano(v.origen);
    if (!origen) return true;
    const auto cortado = Valor_llano(v.cortado);
    if (!cortado) return false;
    const double cambio = std::abs(*cortado - *origen);
    return cambio == 0 || (tolerancia && cambio < *tolerancia &&
                           (a_lo_largo == 0 || cambio * a_lo_largo < celda / 100));
}

}  // namespace

Clave_cuenta Reconocer_cuenta(std::string_view primero) {
    Clave_cuenta r;
    const auto k = Reconocer(primero);
    if (!k) return r;
    r.pegado = k->pegado;
    r.grass = Es_grass(k->clave.hueco);
    if (k->clave.hueco == Columnas || k->clave.hueco == Columnas_grass)
        r.tipo = Clave_cuenta::Tipo::Columnas;
    else if (k->clave.hueco == Filas || k->clave.hueco == Filas_grass)
        r.tipo = Clave_cuenta::Tipo::Filas;
    else
        r.tipo = Clave_cuenta::Tipo::Otra;
    return r;
}

qint32 Leer_cuenta(const Lector_origen& origen, qint64 linea, std::string_view valor, bool largo,
                   const char* que) {
    const auto cuenta =
        largo ? std::nullopt : Leer_entero(QByteArrayView(valor.data(), qsizetype(valor.size())));
    if (!cuenta)
        Fallar(QStringLiteral("La línea %1 de «%2» debe terminar en el número de %3 (un entero de "
                              "32 bits), pero termina en «%4».")
                   .arg(linea)
                   .arg(origen.Ruta(), QLatin1String(que), Citar(valor)));
    return *cuenta;
}

qint32 Leer_cuenta(const Lector_origen& origen, qint64 linea, const Extremos& e, const char* que) {
    return Leer_cuenta(origen, linea, e.ultimo, e.ultimo_largo, que);
}

Cabecera_destino Leer_cabecera(Lector_origen& origen, qint32 Int_filesCap) {
    if (Int_filesCap > Maximo_lineas_cabecera)
        Fallar(QStringLiteral("El número de líneas de cabecera (%1) no puede pasar de %2.")
                   .arg(Int_filesCap)
                   .arg(Maximo_lineas_cabecera));
    const QString& ruta = origen.Ruta();
    Cabecera_destino cabecera;
    std::array<Entrada, Huecos> h;
    // Verdadero mientras cada clave esté en la línea de su posición: la cabecera de siempre,
    // que se escribe como siempre.
    bool en_su_sitio = true;
    qint64 linea_grass = 0;  // la primera línea con una clave GRASS
    qint32 columnas_grass = 0, filas_grass = 0;
    Extremos e;
    for (qint32 n = 1; n <= Int_filesCap; ++n) {
        if (origen.Al_final())
            Fallar(QStringLiteral("El fichero de origen «%1» se acaba en la línea %2, antes de las "
                                  "%3 líneas de cabecera indicadas.")
                       .arg(ruta)
                       .arg(n - 1)
                       .arg(Int_filesCap));
        origen.Leer_extremos(e);
        const auto k = e.primero_largo ? std::nullopt : Reconocer(e.primero);
        Clave clave;
        if (k) {
            clave = k->clave;
            if (n > 6 || std::strcmp(clave.nombre, Por_posicion[n - 1].nombre) != 0)
                en_su_sitio = false;
            if (Es_grass(clave.hueco) && linea_grass == 0) linea_grass = n;
        } else if (n <= 6) {
            clave = Por_posicion[n - 1];
        } else {
            continue;
        }
        // «cols:200» lleva el valor pegado a la clave.
        const bool pegado = k && !k->pegado.empty() && e.primero == e.ultimo;
        const std::string_view valor = pegado ? k->pegado : std::string_view(e.ultimo);
        if (e.ultimo_largo && !pegado)
            Fallar(QStringLiteral("El valor de la línea %1 de «%2» es demasiado largo.")
                       .arg(n)
                       .arg(ruta));
        Entrada& v = h[clave.hueco];
        if (v.Leida())
            Fallar(QStringLiteral("Las líneas %1 y %2 de «%3» dan las dos %4; sólo puede haber "
                                  "una.")
                       .arg(v.linea)
                       .arg(n)
                       .arg(ruta, QLatin1String(std::strcmp(v.clave, clave.nombre) == 0
                                                    ? QByteArray(clave.nombre)
                                                    : QByteArray(v.clave) + " y " + clave.nombre)));
        const QByteArrayView V(valor.data(), qsizetype(valor.size()));
        v.origen = V.toByteArray();
        v.cortado = v.origen;
        v.linea = n;
        v.clave = clave.nombre;
        const auto no_es_numero = [&] {
            Fallar(QStringLiteral("La línea %1 de «%2» debe terminar en un número (%3), "
                                  "pero termina en «%4».")
                       .arg(n)
                       .arg(ruta, QLatin1String(clave.nombre), Citar(valor)));
        };
        switch (clave.hueco) {
            case Columnas:
                cabecera.columnas = Leer_cuenta(origen, n, valor, false, "columnas");
                break;
            case Filas:
                cabecera.filas = Leer_cuenta(origen, n, valor, false, "filas");
                break;
            case Columnas_grass:
                columnas_grass = Leer_cuenta(origen, n, valor, false, "columnas");
                break;
            case Filas_grass:
                filas_grass = Leer_cuenta(origen, n, valor, false, "filas");
                break;
            case Norte:
            case Sur:
            case Este:
            case Oeste:
                if (!Valor_llano(V)) no_es_numero();
                [[fallthrough]];
            case X:
            case Y:
            case Celda:
            case Dx:
            case Dy:
            case Sin_datos:
            case Nulo: {
                // El corte parte por el punto: el valor hasta el primer punto y, salvo en el
                // valor sin datos, dos caracteres de lo que le sigue.
                const QList<QByteArray> P = Separar_campos(V, '.');
                if (clave.hueco == Sin_datos || clave.hueco == Nulo)
                    v.cortado = P[0];
                else if (P.size() >= 2)
                    v.cortado = P[0] + '.' + P[1].left(2);
                else if (!Es_numero(V))
                    no_es_numero();
                break;
            }
            case Multiplicador:
                if (Valor_llano(V) != 1.0)
                    Fallar(QStringLiteral("La línea %1 de «%2» pide multiplicar los valores por "
                                          "«%3», y la conversión los copia sin cambiarlos. "
                                          "Multiplíquelos antes de convertir, o quite esa línea "
                                          "si los valores ya son los de la rejilla.")
                               .arg(n)
                               .arg(ruta, Citar(valor)));
                break;
            case Tipo:
            case Huecos:
                break;
        }
    }

    const auto falta = [&](const char* clave) {
        Fallar(QStringLiteral("A la cabecera de «%1» le falta la línea de %2: su cabecera lleva "
                              "claves, y cada valor se toma de la línea de su clave. Añada esa "
                              "línea o indique cuántas líneas de cabecera tiene.")
                   .arg(ruta, QLatin1String(clave)));
    };
    if (linea_grass != 0) {
        // Una cabecera GRASS no mezcla líneas de Esri ni líneas sin clave.
        for (int i = 0; i < Norte; ++i)
            if (h[i].Leida())
                Fallar(QStringLiteral("La línea %1 de «%2» no es una línea de cabecera GRASS "
                                      "(north:, south:, east:, west:, rows:, cols:, null:, type: "
                                      "o multiplier:), y la línea %3 sí lo es.")
                           .arg(h[i].linea)
                           .arg(ruta)
                           .arg(linea_grass));
        for (const Hueco hueco : {Norte, Sur, Este, Oeste, Filas_grass, Columnas_grass})
            if (!h[hueco].Leida()) falta(QByteArray(Claves_grass[hueco - Norte].nombre) + ":");
        if (columnas_grass < 1 || filas_grass < 1)
            Fallar(QStringLiteral("La cabecera de «%1» indica %2 columnas y %3 filas, y una "
                                  "rejilla necesita al menos una de cada.")
                       .arg(ruta)
                       .arg(columnas_grass)
                       .arg(filas_grass));
        const auto valor = [&](Hueco hueco) { return *Valor_llano(h[hueco].origen); };
        const double dx = (valor(Este) - valor(Oeste)) / columnas_grass;
        const double dy = (valor(Norte) - valor(Sur)) / filas_grass;
        cabecera.columnas = columnas_grass;
        cabecera.filas = filas_grass;
        h[Columnas] = h[Columnas_grass];
        h[Filas] = h[Filas_grass];
        h[X] = h[Oeste];
        h[Y] = h[Sur];
        h[Columnas].clave = "ncols";
        h[Filas].clave = "nrows";
        h[X].clave = "xllcorner";
        h[Y].clave = "yllcorner";
        const auto celda = [&](Hueco hueco, double v, const char* clave) {
            Entrada& c = h[hueco];
            c.origen = Texto_exacto(v);
            const QList<QByteArray> P = Separar_campos(c.origen, '.');
            c.cortado = P.size() >= 2 ? P[0] + '.' + P[1].left(2) : c.origen;
            c.linea = h[Este].linea;
            c.clave = clave;
        };
        if (dx == dy) {
            celda(Celda, dx, "cellsize");
        } else {
            celda(Dx, dx, "dx");
            celda(Dy, dy, "dy");
        }
        // Sin null:, un valor que no puede ser dato: en una rejilla de enteros es el que la
        // propia GRASS reserva para las celdas sin datos, y en una de reales se guarda exacto
        // en 32 bits y ningún terreno lo alcanza.
        if (h[Nulo].Leida()) {
            h[Sin_datos] = h[Nulo];
        } else {
            h[Sin_datos].origen = h[Sin_datos].cortado = "-2147483648";
            h[Sin_datos].linea = h[Este].linea;
            cabecera.sustituto_elegido = true;
        }
        h[Sin_datos].clave = "nodata_value";
        cabecera.marca_nula = "*";
        en_su_sitio = false;
    } else if (!en_su_sitio) {
        for (const Hueco hueco : {Columnas, Filas})
            if (!h[hueco].Leida()) falta(hueco == Columnas ? "ncols" : "nrows");
        if (!h[X].Leida()) falta("xllcorner (o xllcenter)");
        if (!h[Y].Leida()) falta("yllcorner (o yllcenter)");
        const Entrada& otra = h[Dx].Leida() ? h[Dx] : h[Dy];
        if (h[Celda].Leida() && otra.Leida())
            Fallar(QStringLiteral("Las líneas %1 y %2 de «%3» dan las dos el tamaño de celda "
                                  "(cellsize y %4); sólo puede haber una de las dos formas.")
                       .arg(std::min(h[Celda].linea, otra.linea))
                       .arg(std::max(h[Celda].linea, otra.linea))
                       .arg(ruta, QLatin1String(otra.clave)));
        if (!h[Celda].Leida()) {
            if (!h[Dx].Leida() && !h[Dy].Leida()) falta("cellsize (o dx y dy)");
            if (!h[Dx].Leida()) falta("dx");
            if (!h[Dy].Leida()) falta("dy");
            const auto dx = Valor_llano(h[Dx].origen), dy = Valor_llano(h[Dy].origen);
            if (dx && dy && *dx == *dy) {
                h[Celda] = h[Dx];
                h[Celda].clave = "cellsize";
                h[Dx] = h[Dy] = Entrada();
            }
        }
    }

    // El corte se queda donde no cambia lo que dice la cabecera: la esquina se mueve menos de
    // una centésima de celda; el tamaño de celda cambia menos de una milésima de sí mismo y, a
    // lo largo de todas las columnas y de todas las filas, menos de una centésima de celda; el
    // valor sin datos sólo pierde ceros. Donde cambiaría (rejillas en grados, rejillas muy
    // anchas, un valor sin datos con decimales o exponente), se escribe el valor del origen.
    const auto tamano = [&](Hueco hueco) -> std::optional<double> {
        if (!h[hueco].Leida()) return std::nullopt;
        const auto v = Valor_llano(h[hueco].origen);
        if (!v) return std::nullopt;
        return std::abs(*v);
    };
    const auto celda_x = h[Celda].Leida() ? tamano(Celda) : tamano(Dx);
    const auto celda_y = h[Celda].Leida() ? tamano(Celda) : tamano(Dy);
    const double C = std::abs(double(cabecera.columnas)), R = std::abs(double(cabecera.filas));
    const auto corte_celda = [&](Hueco hueco, std::optional<double> c, double a_lo_largo) {
        const Entrada& v = h[hueco];
        std::optional<double> tolerancia;
        if (c) tolerancia = *c / 1000;
        return Corte_inofensivo(v, tolerancia, a_lo_largo, c.value_or(0)) ? v.cortado : v.origen;
    };
    const auto escrito = [&](Hueco hueco) -> QByteArray {
        const Entrada& v = h[hueco];
        switch (hueco) {
            case X:
                return Corte_inofensivo(v, celda_x ? std::optional(*celda_x / 100) : std::nullopt)
                           ? v.cortado
                           : v.origen;
            case Y:
                return Corte_inofensivo(v, celda_y ? std::optional(*celda_y / 100) : std::nullopt)
                           ? v.cortado
                           : v.origen;
            case Celda:
                return corte_celda(Celda, celda_x, std::max(C, R));
            case Dx:
                return corte_celda(Dx, celda_x, C);
            case Dy:
                return corte_celda(Dy, celda_y, R);
            case Sin_datos:
                return Corte_inofensivo(v, std::nullopt) ? v.cortado : v.origen;
            default:
                return v.origen;
        }
    };

    if (en_su_sitio) {
        // La cabecera de siempre: seis líneas por su posición, vacías las que nadie llenó.
        for (int i = 0; i < 6; ++i) {
            const Hueco hueco = Por_posicion[i].hueco;
            cabecera.textos.append(h[hueco].Leida()
                                       ? Linea_cabecera(Por_posicion[i].nombre, escrito(hueco))
                                       : QByteArray());
        }
        return cabecera;
    }
    for (const Hueco hueco : {Columnas, Filas, X, Y, Celda, Dx, Dy, Sin_datos})
        if (h[hueco].Leida())
            cabecera.textos.append(Linea_cabecera(h[hueco].clave, escrito(hueco)));
    if (!cabecera.marca_nula.isEmpty()) cabecera.sustituto_nulo = escrito(Sin_datos);
    return cabecera;
}

QByteArray Escribir_cabecera(const Cabecera_destino& cabecera) {
    QByteArray texto;
    for (const QByteArray& linea : cabecera.textos) texto += linea + "\r\n";
    return texto;
}

}  // namespace tesmalo
