#include "fuzz/modelo.h"

#include <QByteArrayView>
#include <QLocale>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>

#include "fields/numero.h"

namespace tesmalo::modelo {
namespace {

// El campo más largo que se admite en la cabecera.
constexpr std::size_t Largo_maximo = 65536;

std::string Linea_cabecera(std::string clave, std::string_view valor) {
    while (clave.size() < 14) clave += ' ';
    clave += valor;
    return std::string(Recortar(clave));
}

bool Blanco(char c) {
    return c == ' ' || c == '\t';
}

std::optional<qint32> Entero(const std::string& texto) {
    if (texto.size() > Largo_maximo) return std::nullopt;
    return Leer_entero(QByteArrayView(texto.data(), qsizetype(texto.size())));
}

// «nan», «inf» o «infinity» en cualquier caja, con un signo delante si acaso, y «nan» quizá con
// una etiqueta de letras, cifras y subrayados entre paréntesis: los lectores del formato los
// toman por valores, así que pueden empezar la primera línea de valores.
bool Es_nan_o_inf(const std::string& texto) {
    std::string t;
    for (char c : texto) t += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.erase(0, 1);
    if (t == "nan" || t == "inf" || t == "infinity") return true;
    if (t.size() < 5 || t.compare(0, 4, "nan(") != 0 || t.back() != ')') return false;
    return t.substr(4, t.size() - 5).find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") ==
           std::string::npos;
}

// La clave con que empieza una línea de cabecera: una de Esri (el campo entero, sin mirar
// mayúsculas) o una de GRASS (lo que precede a los dos puntos, con lo que les sigue pegado).
struct Clave_leida {
    std::string nombre;  // en minúsculas; vacío si la línea no lleva clave
    std::string pegado;
    bool grass = false;
};
Clave_leida Clave_de(const std::string& campo) {
    Clave_leida k;
    if (campo.size() > Largo_maximo) return k;
    std::string minusculas;
    for (char c : campo) minusculas += (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
    for (const char* esri : {"ncols", "nrows", "xllcorner", "yllcorner", "xllcenter", "yllcenter",
                             "cellsize", "dx", "dy", "nodata_value"})
        if (minusculas == esri) {
            k.nombre = esri;
            return k;
        }
    const std::size_t p = minusculas.find(':');
    if (p == std::string::npos) return k;
    for (const char* g :
         {"north", "south", "east", "west", "rows", "cols", "null", "type", "multiplier"})
        if (minusculas.substr(0, p) == g) {
            k.nombre = g;
            k.pegado = campo.substr(p + 1);
            k.grass = true;
        }
    return k;
}

}  // namespace

std::vector<std::string> Partir_lineas(std::string_view bytes) {
    std::vector<std::string> lineas;
    std::string actual;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\n' || c == '\r') {
            lineas.push_back(actual);
            actual.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            actual += c;
        }
    }
    if (!actual.empty()) lineas.push_back(actual);
    return lineas;
}

std::vector<std::string> Campos(std::string_view linea) {
    std::vector<std::string> campos;
    std::string actual;
    for (char c : linea) {
        if (!Blanco(c)) {
            actual += c;
        } else if (!actual.empty()) {
            campos.push_back(actual);
            actual.clear();
        }
    }
    if (!actual.empty()) campos.push_back(actual);
    return campos;
}

std::string_view Recortar(std::string_view texto) {
    while (!texto.empty() && Blanco(texto.front())) texto.remove_prefix(1);
    while (!texto.empty() && Blanco(texto.back())) texto.remove_suffix(1);
    return texto;
}

std::vector<std::string> Separar(std::string_view texto, char delimitador) {
    std::vector<std::string> campos;
    std::string s(Recortar(texto));
    for (;;) {
        const std::size_t p = delimitador == ' ' ? s.find_first_of(" \t") : s.find(delimitador);
        if (p == std::string::npos) {
            campos.emplace_back(Recortar(s));
            return campos;
        }
        if (p > 0) campos.push_back(s.substr(0, p));
        s = s.substr(p + 1);
    }
}

Exploracion Explorar(const std::vector<std::string>& lineas) {
    Exploracion r;
    int n = 1;
    // Lo que explica un fallo, de lo leído hasta ahora: de cada línea, su primer campo y, en
    // las líneas 1 y 2, también el último; ningún campo de más de Largo_maximo bytes.
    bool utf16 = false, surfer = false, coma = false;
    const auto es_valor = [](const std::string& t) {
        return Es_numero(QByteArrayView(t.data(), qsizetype(t.size()))) || Es_nan_o_inf(t);
    };
    const auto mirar = [&](const std::string& campo, bool primero) {
        if (campo.size() > Largo_maximo) return;
        if (campo.find('\0') != std::string::npos) utf16 = true;
        if (n == 1 && primero) {
            if (campo.rfind("\xff\xfe", 0) == 0 || campo.rfind("\xfe\xff", 0) == 0) utf16 = true;
            if (campo == "DSAA") surfer = true;
        }
        if (primero && !es_valor(campo) && std::count(campo.begin(), campo.end(), ',') == 1) {
            std::string punto = campo;
            punto[punto.find(',')] = '.';
            if (Leer_numero(QByteArrayView(punto.data(), qsizetype(punto.size())), QLocale::c()))
                coma = true;
        }
    };
    // El error que se espera: la causa que se ve en lo leído o, si no, `otro`.
    const auto fallo = [&](const std::string& otro) {
        if (utf16) return std::string("UTF-16");
        if (surfer) return std::string("una rejilla de Surfer");
        if (coma) return std::string("un número con coma decimal");
        return otro;
    };
    int de_columnas = 0, de_filas = 0;  // la línea que dio cada cuenta
    bool grass = false;
    for (std::size_t i = 0;; ++i) {
        if (i >= lineas.size()) {
            r.error = fallo("se acaba sin llegar a ninguna línea de valores");
            return r;
        }
        const std::vector<std::string> F = Separar(lineas[i], ' ');
        mirar(F.front(), true);
        if (n <= 2) mirar(F.back(), false);
        const Clave_leida k = Clave_de(F.front());
        grass = grass || k.grass;
        std::string que = k.nombre == "ncols" || k.nombre == "cols"   ? "columnas"
                          : k.nombre == "nrows" || k.nombre == "rows" ? "filas"
                                                                      : "";
        if (k.nombre.empty() && n <= 2) que = n == 1 ? "columnas" : "filas";
        if (!que.empty()) {
            int& de = que == "columnas" ? de_columnas : de_filas;
            if (de != 0) {
                r.error = "Las líneas " + std::to_string(de) + " y " + std::to_string(n) + " de «";
                return r;
            }
            de = n;
            const std::string valor =
                !k.pegado.empty() && F.back() == F.front() ? k.pegado : F.back();
            const auto cuenta = Entero(valor);
            if (!cuenta) {
                r.error = fallo("La línea " + std::to_string(n) + " de");
                return r;
            }
            (que == "columnas" ? r.columnas : r.filas) = *cuenta;
        }
        if (n == 32767) {
            r.error = fallo("demasiadas líneas");
            return r;
        }
        ++n;
        const std::string& primero = F.front();
        if (primero.size() <= Largo_maximo && es_valor(primero)) break;
        if (grass && primero == "*") break;
    }
    // Una cabecera con una línea de números con coma decimal: los valores empezarían antes.
    if (coma) {
        r.error = fallo("");
        return r;
    }
    r.lineas_cabecera = n - 2;
    return r;
}

Conversion Convertir(const std::vector<std::string>& lineas, qint32 Int_filesCap,
                     qint32 Lng_Soncolumn, qint32 Lng_Sonfila) {
    static const std::array<std::string, 6> posicion = {"ncols",     "nrows",    "xllcorner",
                                                        "yllcorner", "cellsize", "nodata_value"};
    Conversion r;
    r.fracciones.push_back(0.0);
    if (Int_filesCap > 32766) {
        r.error = "no puede pasar de 32766";
        return r;
    }
    // Lo que dio cada clave: su texto, su forma cortada, la línea y la clave tal como se escribe.
    struct Dato {
        std::string texto, cortado, clave;
        qint32 linea = 0;
    };
    // Cada clave va a un sitio; los centros comparten el de las esquinas.
    const auto sitio = [](const std::string& clave) -> std::string {
        if (clave == "xllcenter") return "xllcorner";
        if (clave == "yllcenter") return "yllcorner";
        return clave;
    };
    std::map<std::string, Dato> d;
    bool cada_una_en_su_sitio = true, grass = false;
    qint32 primera_grass = 0;
    const auto llano = [](const std::string& t) {
        return Leer_numero(QByteArrayView(t.data(), qsizetype(t.size())), QLocale::c());
    };
    const auto es_numero = [](const std::string& t) {
        return Es_numero(QByteArrayView(t.data(), qsizetype(t.size())));
    };
    std::size_t j = 0;  // siguiente línea por leer
    for (qint32 n = 1; n <= Int_filesCap; ++n) {
        if (j >= lineas.size()) {
            r.error = "se acaba en la línea";
            return r;
        }
        const std::vector<std::string> F = Separar(lineas[j++], ' ');
        const Clave_leida k = Clave_de(F.front());
        std::string clave = k.nombre;
        if (!clave.empty()) {
            if (n > 6 || clave != posicion[n - 1]) cada_una_en_su_sitio = false;
            if (k.grass && !grass) {
                grass = true;
                primera_grass = n;
            }
        } else if (n <= 6) {
            clave = posicion[n - 1];
        } else {
            continue;
        }
        const bool pegado = !k.pegado.empty() && F.back() == F.front();
        const std::string V = pegado ? k.pegado : F.back();
        if (!pegado && V.size() > Largo_maximo) {
            r.error = "es demasiado largo";
            return r;
        }
        Dato& dato = d[sitio(clave)];
        if (dato.linea != 0) {
            r.error = "Las líneas " + std::to_string(dato.linea) + " y " + std::to_string(n);
            return r;
        }
        dato = {V, V, clave, n};
        if (clave == "ncols" || clave == "nrows" || clave == "cols" || clave == "rows") {
            const auto cuenta = Entero(V);
            if (!cuenta) {
                r.error = "debe terminar en el número de";
                return r;
            }
            if (clave == "ncols") r.columnas_cabecera = *cuenta;
            if (clave == "nrows") r.filas_cabecera = *cuenta;
        } else if (clave == "multiplier") {
            if (llano(V) != 1.0) {
                r.error = "pide multiplicar los valores";
                return r;
            }
        } else if (clave != "type") {
            const bool coordenada_grass =
                clave == "north" || clave == "south" || clave == "east" || clave == "west";
            if (coordenada_grass && !llano(V)) {
                r.error = "debe terminar en un número (";
                return r;
            }
            const std::vector<std::string> P = Separar(V, '.');
            if (clave == "nodata_value" || clave == "null")
                dato.cortado = P[0];
            else if (P.size() >= 2)
                dato.cortado = P[0] + "." + P[1].substr(0, 2);
            else if (!es_numero(V)) {
                r.error = "debe terminar en un número (";
                return r;
            }
        }
    }

    const auto hay = [&](const std::string& s) { return d.count(s) && d[s].linea != 0; };
    const auto falta = [&](const char* que) {
        r.error = std::string("le falta la línea de ") + que;
        return r;
    };
    std::string sustituto_elegido;
    if (grass) {
        for (const std::string& esri :
             {"ncols", "nrows", "xllcorner", "yllcorner", "cellsize", "dx", "dy", "nodata_value"})
            if (hay(esri)) {
                r.error = "no es una línea de cabecera GRASS";
                return r;
            }
        for (const char* g : {"north:", "south:", "east:", "west:", "rows:", "cols:"})
            if (!hay(std::string(g, std::strlen(g) - 1))) return falta(g);
        const qint32 C = *Entero(d["cols"].texto), R = *Entero(d["rows"].texto);
        if (C < 1 || R < 1) {
            r.error = "al menos una de cada";
            return r;
        }
        r.columnas_cabecera = C;
        r.filas_cabecera = R;
        const double dx = (*llano(d["east"].texto) - *llano(d["west"].texto)) / C;
        const double dy = (*llano(d["north"].texto) - *llano(d["south"].texto)) / R;
        d["ncols"] = {d["cols"].texto, d["cols"].texto, "ncols", 1};
        d["nrows"] = {d["rows"].texto, d["rows"].texto, "nrows", 1};
        d["xllcorner"] = d["west"];
        d["xllcorner"].clave = "xllcorner";
        d["yllcorner"] = d["south"];
        d["yllcorner"].clave = "yllcorner";
        const auto tamano = [&](const char* clave, double v) {
            char texto[64];
            const std::string t(texto, std::to_chars(texto, texto + 64, v).ptr);
            const std::vector<std::string> P = Separar(t, '.');
            d[clave] = {t, P.size() >= 2 ? P[0] + "." + P[1].substr(0, 2) : t, clave, 1};
        };
        if (dx == dy) {
            tamano("cellsize", dx);
        } else {
            tamano("dx", dx);
            tamano("dy", dy);
        }
        if (hay("null")) {
            d["nodata_value"] = d["null"];
        } else {
            d["nodata_value"] = {"-2147483648", "-2147483648", "", 1};
            sustituto_elegido = "-2147483648";
        }
        d["nodata_value"].clave = "nodata_value";
        (void)primera_grass;
        cada_una_en_su_sitio = false;
    } else if (!cada_una_en_su_sitio) {
        if (!hay("ncols")) return falta("ncols");
        if (!hay("nrows")) return falta("nrows");
        if (!hay("xllcorner")) return falta("xllcorner");
        if (!hay("yllcorner")) return falta("yllcorner");
        if (hay("cellsize") && (hay("dx") || hay("dy"))) {
            r.error = "dan las dos el tamaño de celda";
            return r;
        }
        if (!hay("cellsize")) {
            if (!hay("dx") && !hay("dy")) return falta("cellsize");
            if (!hay("dx")) return falta("dx");
            if (!hay("dy")) return falta("dy");
            const auto dx = llano(d["dx"].texto), dy = llano(d["dy"].texto);
            if (dx && dy && *dx == *dy) {
                d["cellsize"] = d["dx"];
                d["cellsize"].clave = "cellsize";
                d.erase("dx");
                d.erase("dy");
            }
        }
    }

    // El corte vale si el número no cambia, o si cambia menos de lo que admite cada clave:
    // esquinas y centros, una centésima de su celda; la celda, una milésima de sí misma y, por
    // el número de columnas (dx) o de filas (dy), o de las dos (cellsize), una centésima; sin
    // datos, nada. Un texto que no es un número con punto decimal se corta siempre.
    const auto celda_de = [&](const char* eje) -> std::optional<double> {
        const std::string s = hay("cellsize") ? "cellsize" : eje;
        if (!hay(s)) return std::nullopt;
        const auto v = llano(d[s].texto);
        if (!v) return std::nullopt;
        return std::fabs(*v);
    };
    const double columnas = std::fabs(double(r.columnas_cabecera)),
                 filas = std::fabs(double(r.filas_cabecera));
    const auto escrito = [&](const std::string& s) {
        const Dato& v = d[s];
        const auto o = llano(v.texto), c = llano(v.cortado);
        bool vale;
        if (!o)
            vale = true;
        else if (!c)
            vale = false;
        else if (*o == *c)
            vale = true;
        else {
            const double cambio = std::fabs(*o - *c);
            std::optional<double> celda;
            double a_lo_largo = 0;
            if (s == "xllcorner") celda = celda_de("dx");
            if (s == "yllcorner") celda = celda_de("dy");
            if (s == "cellsize") celda = celda_de("dx"), a_lo_largo = std::max(columnas, filas);
            if (s == "dx") celda = celda_de("dx"), a_lo_largo = columnas;
            if (s == "dy") celda = celda_de("dy"), a_lo_largo = filas;
            if (s == "nodata_value" || !celda)
                vale = false;
            else if (s == "xllcorner" || s == "yllcorner")
                vale = cambio < *celda / 100;
            else
                vale = cambio < *celda / 1000 &&
                       (a_lo_largo == 0 || cambio * a_lo_largo < *celda / 100);
        }
        return Linea_cabecera(v.clave, vale ? v.cortado : v.texto);
    };
    for (int k = 0; k < 6; ++k) {
        const std::string& s = posicion[k];
        if (cada_una_en_su_sitio)
            r.destino += (hay(s) ? escrito(s) : std::string()) + "\r\n";
        else if (s == "cellsize") {
            for (const char* c : {"cellsize", "dx", "dy"})
                if (hay(c)) r.destino += escrito(c) + "\r\n";
        } else if (hay(s))
            r.destino += escrito(s) + "\r\n";
    }
    // En una rejilla GRASS, «*» es el valor sin datos escrito.
    std::string sustituto;
    if (grass) {
        const std::string linea = escrito("nodata_value");
        sustituto = linea.substr(14);
    }

    const qint64 total = qint64{Lng_Soncolumn} * Lng_Sonfila;
    if (total == 0) {
        r.error = "no pueden ser 0";
        return r;
    }
    const qint64 C = r.columnas_cabecera;
    const qint64 R = r.filas_cabecera;
    // Cada bloque empieza en la línea siguiente y da R filas, o una si R no llega a 1.
    while (j < lineas.size()) {
        if (C < 1) {
            // Sin ninguna línea de cabecera, el mensaje dice que no hay de dónde sacar C.
            r.error = Int_filesCap < 1 ? "Ninguna línea de cabecera" : "al menos una";
            return r;
        }
        std::vector<std::string> actual = Campos(lineas[j++]);
        std::size_t k = 0;
        bool agotado = false;
        for (qint64 fila = 0; fila < std::max<qint64>(R, 1) && !agotado; ++fila) {
            std::vector<std::string> valores;
            while (qint64(valores.size()) < C) {
                if (k < actual.size()) {
                    std::string v = actual[k++];
                    if (!sustituto_elegido.empty() && v == sustituto_elegido) {
                        r.error = "tiene el valor " + v;
                        return r;
                    }
                    if (grass && v == "*") v = sustituto;
                    valores.push_back(v);
                } else if (j < lineas.size()) {
                    actual = Campos(lineas[j++]);
                    k = 0;
                } else {
                    agotado = true;
                    break;
                }
            }
            if (agotado) {
                r.valores_descartados += qint64(valores.size());
                break;
            }
            for (std::size_t i = 0; i < valores.size(); ++i)
                r.destino += (i > 0 ? " " : "") + valores[i];
            r.destino += "\r\n";
            ++r.filas_escritas;
            r.valores_colocados += C;
            r.fracciones.push_back(double(r.valores_colocados) / double(total));
        }
        if (!agotado) r.valores_descartados += qint64(actual.size() - k);
    }
    // El primer bloque son las filas que dice la cabecera: si no se llenó, el destino no sería
    // esa rejilla y la conversión falla. Con R de 0 o menos no se anuncia ninguna fila.
    if (R > 0 && r.filas_escritas < R) r.error = "no sería una rejilla completa";
    return r;
}

}  // namespace tesmalo::modelo
