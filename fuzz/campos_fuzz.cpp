// Fuzzing de las utilidades de campos (fields/campos.h).
//
// Entrada: un byte que elige el delimitador (espacio, punto o el byte siguiente), dos bytes de
// ancho para Rellenar_texto, y el texto. Propiedades de Separar_campos:
// - coincide con el algoritmo hecho al pie de la letra (fuzz/modelo.h);
// - nunca da una lista vacía, ningún campo salvo el último está vacío y ninguno contiene el
//   delimitador (con el espacio, ni un tabulador);
// - con el espacio, unir con un espacio y volver a separar da los mismos campos, y la unión es
//   el texto recortado con cada racha de espacios y tabuladores reducida a un espacio.
// De Rellenar_texto: empieza por el texto, sigue con espacios y mide el ancho o lo que ya medía.
// De Unir_campos: los campos en orden con el delimitador entre cada dos.
#include <QByteArray>
#include <cstdint>

#include "fields/campos.h"
#include "fuzz/apoyo.h"
#include "fuzz/modelo.h"

using tesmalo::fuzz::Exigir;

namespace {

QString Describir(const QByteArray& texto, char delimitador) {
    return QStringLiteral("texto hex %1, delimitador 0x%2")
        .arg(QString::fromLatin1(texto.toHex()))
        .arg(static_cast<unsigned char>(delimitador), 2, 16, QLatin1Char('0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    if (largo < 4) return 0;
    const char delimitador = datos[0] % 3 == 0   ? ' '
                             : datos[0] % 3 == 1 ? '.'
                                                 : static_cast<char>(datos[1]);
    const auto ancho = static_cast<qint16>(datos[2] | (datos[3] << 8));
    const QByteArray texto(reinterpret_cast<const char*>(datos + 4), qsizetype(largo - 4));
    const QString detalle = Describir(texto, delimitador);

    const QList<QByteArray> campos = tesmalo::Separar_campos(texto, delimitador);
    const std::vector<std::string> esperado =
        tesmalo::modelo::Separar(std::string_view(texto.constData(), texto.size()), delimitador);
    Exigir(!campos.isEmpty(), "Separar_campos dio una lista vacía", detalle);
    Exigir(std::size_t(campos.size()) == esperado.size(), "número de campos distinto", detalle);
    for (qsizetype i = 0; i < campos.size(); ++i) {
        Exigir(campos[i].toStdString() == esperado[std::size_t(i)], "campo distinto", detalle);
        Exigir(
            !campos[i].contains(delimitador) && (delimitador != ' ' || !campos[i].contains('\t')),
            "un campo contiene el delimitador", detalle);
        Exigir(i == campos.size() - 1 || !campos[i].isEmpty(), "campo vacío antes del último",
               detalle);
    }

    if (delimitador == ' ') {
        const QByteArray unido = tesmalo::Unir_campos(campos, " ");
        Exigir(tesmalo::Separar_campos(unido, ' ') == campos, "unir y separar no da lo mismo",
               detalle);
        QByteArray reducido;
        for (char c : std::string(tesmalo::modelo::Recortar(texto.toStdString()))) {
            if (c == '\t') c = ' ';
            if (c != ' ' || !reducido.endsWith(' ')) reducido += c;
        }
        Exigir(unido == reducido, "la unión no es el texto con los espacios reducidos", detalle);
    }

    const QByteArray unido = tesmalo::Unir_campos(campos, QByteArrayView(&delimitador, 1));
    qsizetype suma = campos.size() - 1;
    for (const QByteArray& c : campos) suma += c.size();
    Exigir(
        unido.size() == suma && unido.startsWith(campos.first()) && unido.endsWith(campos.last()),
        "Unir_campos no pone los campos con un delimitador entre cada dos", detalle);

    const QByteArray relleno = tesmalo::Rellenar_texto(texto, ancho, " ");
    Exigir(relleno.startsWith(texto) && relleno.size() == std::max<qsizetype>(texto.size(), ancho),
           "Rellenar_texto no llega al ancho o corta el texto", detalle);
    Exigir(relleno.mid(texto.size()).count(' ') == relleno.size() - texto.size(),
           "Rellenar_texto añade algo que no es espacio", detalle);
    return 0;
}
