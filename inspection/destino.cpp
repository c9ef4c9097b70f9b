#include "inspection/destino.h"

#include "sistema/razones.h"

using namespace Qt::StringLiterals;

namespace tesmalo {

Propuesta_destino Proponer_destino(const QString& Ruta_origen) {
#ifdef Q_OS_WIN
    const qsizetype barra = std::max(Ruta_origen.lastIndexOf(u'\\'), Ruta_origen.lastIndexOf(u'/'));
#else
    const qsizetype barra = Ruta_origen.lastIndexOf(u'/');
#endif
    Propuesta_destino propuesta;
    propuesta.Carpeta_origen = Ruta_origen.left(barra + 1);
    QString nombre = Ruta_origen.mid(barra + 1);
    // Un origen comprimido se propone como el que da al descomprimirlo: zona1.asc.gz, como
    // zona1.asc. Lo que queda sólo pierde una extensión que tenga: zona1.gz da zona1.
    const bool comprimido = nombre.endsWith(u".gz"_s, Qt::CaseInsensitive) && nombre.size() > 3;
    if (comprimido) nombre.chop(3);
    // Los cuatro últimos caracteres se toman como la extensión con su punto, sean lo que sean.
    // Se cuentan caracteres, no unidades de UTF-16: uno fuera del plano básico (😀) es uno.
    qsizetype corte = nombre.size();
    int quitados = 0;
    for (; quitados < 4 && corte > 0; ++quitados) {
        const bool par =
            corte >= 2 && nombre[corte - 1].isLowSurrogate() && nombre[corte - 2].isHighSurrogate();
        corte -= par ? 2 : 1;
    }
    if (comprimido && (quitados < 4 || nombre[corte] != u'.'))
        corte = nombre.size();
    else if (quitados < 4)
        Fallar(QStringLiteral("El nombre del fichero de origen «%1» tiene menos de cuatro "
                              "caracteres: no se puede proponer un nombre de destino.")
                   .arg(nombre));
    propuesta.Ruta_destino =
        propuesta.Carpeta_origen + nombre.left(corte) + QStringLiteral("_reestruct.txt");
    return propuesta;
}

}  // namespace tesmalo
