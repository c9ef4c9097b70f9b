#include "fuzz/modelo.h"

#include <QByteArrayView>
#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>
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
    for (std::size_t i = 0;; ++i) {
        if (i >= lineas.size()) {
            r.error = fallo("se acaba sin llegar a ninguna línea de valores");
            return r;
        }
        const std::vector<std::string> F = Separar(lineas[i], ' ');
        mirar(F.front(), true);
        if (n <= 2) mirar(F.back(), false);
        if (n <= 2) {
            const auto cuenta = Entero(F.back());
            if (!cuenta) {
                r.error = fallo("La línea " + std::to_string(n) + " de");
                return r;
            }
            (n == 1 ? r.columnas : r.filas) = *cuenta;
        }
        if (n == 32767) {
            r.error = fallo("demasiadas líneas");
            return r;
        }
        ++n;
        const std::string& primero = F.front();
        if (primero.size() <= Largo_maximo && es_valor(primero)) break;
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
    static const std::array<std::string, 6> claves = {"ncols",     "nrows",    "xllcorner",
                                                      "yllcorner", "cellsize", "nodata_value"};
    Conversion r;
    r.fracciones.push_back(0.0);
    if (Int_filesCap > 32766) {
        r.error = "no puede pasar de 32766";
        return r;
    }
    std::array<std::string, 6> textos;
    std::array<std::string, 4> originales, cortados;  // líneas 3 a 6
    std::array<bool, 4> leidos{};
    std::size_t j = 0;  // siguiente línea por leer
    for (qint32 n = 1; n <= Int_filesCap; ++n) {
        if (j >= lineas.size()) {
            r.error = "se acaba en la línea";
            return r;
        }
        const std::string& linea = lineas[j++];
        if (n > 6) continue;
        const std::string V = Separar(linea, ' ').back();
        if (V.size() > Largo_maximo) {
            r.error = "es demasiado largo";
            return r;
        }
        if (n <= 2) {
            const auto cuenta = Entero(V);
            if (!cuenta) {
                r.error = "debe terminar en el número de";
                return r;
            }
            (n == 1 ? r.columnas_cabecera : r.filas_cabecera) = *cuenta;
            textos[n - 1] = Linea_cabecera(claves[n - 1], V);
        } else {
            const bool numero = Es_numero(QByteArrayView(V.data(), qsizetype(V.size())));
            const std::vector<std::string> P = Separar(V, '.');
            std::string cortado;
            if (n == 6)
                cortado = P[0];
            else if (P.size() >= 2)
                cortado = P[0] + "." + P[1].substr(0, 2);
            else if (numero)
                cortado = V;
            else {
                r.error = "debe terminar en un número (";
                return r;
            }
            originales[n - 3] = V;
            cortados[n - 3] = cortado;
            leidos[n - 3] = true;
        }
    }
    // El corte vale si el número no cambia, o si cambia menos que lo que admite cada línea
    // (esquinas: una centésima de celda; celda: una milésima de sí misma; sin datos: nada).
    // Un original que no es un número con punto decimal se corta siempre.
    const auto llano = [](const std::string& t) {
        return Leer_numero(QByteArrayView(t.data(), qsizetype(t.size())), QLocale::c());
    };
    std::optional<double> celda;
    if (leidos[2]) celda = llano(originales[2]);
    for (int k = 0; k < 4; ++k) {
        if (!leidos[k]) continue;
        const auto o = llano(originales[k]);
        const auto c = llano(cortados[k]);
        bool vale;
        if (!o)
            vale = true;
        else if (!c)
            vale = false;
        else if (*o == *c)
            vale = true;
        else if (k == 3 || !celda)
            vale = false;
        else
            vale = std::fabs(*o - *c) < std::fabs(*celda) / (k == 2 ? 1000.0 : 100.0);
        textos[k + 2] = Linea_cabecera(claves[k + 2], vale ? cortados[k] : originales[k]);
    }
    for (const std::string& t : textos) r.destino += t + "\r\n";

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
                    valores.push_back(actual[k++]);
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
