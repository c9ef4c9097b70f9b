#include "fields/campos.h"

#include <limits>
#include <stdexcept>

namespace tesmalo {

QByteArrayView Recortar(QByteArrayView texto) {
    qsizetype inicio = 0;
    qsizetype fin = texto.size();
    while (inicio < fin && texto[inicio] == ' ') ++inicio;
    while (fin > inicio && texto[fin - 1] == ' ') --fin;
    return texto.sliced(inicio, fin - inicio);
}

QList<QByteArray> Separar_campos(QByteArrayView texto, char delimitador) {
    QList<QByteArray> campos;
    QByteArrayView resto = Recortar(texto);
    for (;;) {
        const qsizetype p = resto.indexOf(delimitador);
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
