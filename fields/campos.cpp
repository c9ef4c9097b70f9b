#include "fields/campos.h"

#include <limits>
#include <stdexcept>

namespace tesmalo {

namespace {

bool Es_blanco(char c) {
    return c == ' ' || c == '\t';
}

// La posición del primer delimitador de `texto`, o -1; el delimitador " " es cualquier blanco.
qsizetype Buscar_delimitador(QByteArrayView texto, char delimitador) {
    if (delimitador != ' ') return texto.indexOf(delimitador);
    for (qsizetype i = 0; i < texto.size(); ++i)
        if (Es_blanco(texto[i])) return i;
    return -1;
}

}  // namespace

QByteArrayView Recortar(QByteArrayView texto) {
    qsizetype inicio = 0;
    qsizetype fin = texto.size();
    while (inicio < fin && Es_blanco(texto[inicio])) ++inicio;
    while (fin > inicio && Es_blanco(texto[fin - 1])) --fin;
    return texto.sliced(inicio, fin - inicio);
}

QList<QByteArray> Separar_campos(QByteArrayView texto, char delimitador) {
    QList<QByteArray> campos;
    QByteArrayView resto = Recortar(texto);
    for (;;) {
        const qsizetype p = Buscar_delimitador(resto, delimitador);
        if (p < 0) {
            campos.append(Recortar(resto).toByteArray());
            return campos;
        }
        if (p > 0) {
            // El contador de campos es un entero de 32 bits con signo.
            if (campos.size() == std::numeric_limits<qint32>::max())
                throw std::overflow_error("Desbordamiento: la línea tiene demasiados campos.");
            campos.append(resto.first(p).toByteArray());
        }
        resto = resto.sliced(p + 1);
    }
}

QByteArray Rellenar_texto(QByteArray texto, qint16 ancho, QByteArrayView relleno) {
    while (texto.size() < ancho) texto.append(relleno);
    return texto;
}

QByteArray Unir_campos(const QList<QByteArray>& campos, QByteArrayView delimitador) {
    QByteArray linea;
    for (qsizetype i = 0; i < campos.size(); ++i) {
        if (i > 0) linea.append(delimitador);
        linea.append(campos[i]);
    }
    return linea;
}

}  // namespace tesmalo
