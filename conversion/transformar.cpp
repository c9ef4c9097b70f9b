#include "conversion/transformar.h"

#include <algorithm>
#include <cerrno>

#include "conversion/cabecera.h"
#include "conversion/lector.h"
#include "sistema/escritor.h"
#include "sistema/razones.h"
#include "sistema/resolver_destino.h"

namespace tesmalo {
namespace {

// Un destino que es el propio origen (por la misma ruta, un enlace, un enlace duro o un
// montaje overlay) se rechaza: escribirlo destruiría lo que se está leyendo. Se compara el
// fichero que el lector tiene abierto con el que el sistema resolvió para el destino.
void Comprobar_distintos(const Lector_origen& origen, const Destino_resuelto& destino) {
    if (destino.tipo == Destino_resuelto::Tipo::Nuevo) return;
    if (Mismo_fichero(origen.Estado(), destino.estado))
        Fallar(QStringLiteral("El fichero de destino «%1» es el mismo fichero de origen.")
                   .arg(destino.ruta));
}

// Lo mismo que Lector_origen::Copiar_campos, campo a campo, con cada campo igual a
// `cabecera.marca_nula` cambiado por `cabecera.sustituto_nulo`. Sólo para los orígenes que marcan
// así sus celdas sin datos («*» en una rejilla GRASS); los demás van por Copiar_campos, que no
// mira los campos.
[[gnu::noinline]] qint64 Copiar_sustituyendo(Lector_origen& origen, Escritor_destino& destino,
                                             qint64 k, bool espacio_delante,
                                             const Cabecera_destino& cabecera) {
    qint64 copiados = 0;
    QByteArray campo;
    while (copiados < k) {
        campo.clear();
        if (!origen.Siguiente_campo([&](const char* d, qsizetype n) { campo.append(d, n); })) {
            if (origen.Al_final()) break;
            continue;
        }
        // Un valor de la rejilla igual al valor sin datos que se eligió dejaría de ser un dato.
        if (cabecera.sustituto_elegido && campo == cabecera.sustituto_nulo)
            Fallar(QStringLiteral("La línea %1 de «%2» tiene el valor %3, que es el que se escribe "
                                  "como valor sin datos porque la cabecera no tiene línea null:. "
                                  "Añada a la cabecera una línea null: con un valor que no sea "
                                  "ningún dato.")
                       .arg(origen.Linea())
                       .arg(origen.Ruta(), QLatin1String(campo)));
        if (espacio_delante || copiados > 0) destino.Anadir(' ');
        const QByteArray& texto = campo == cabecera.marca_nula ? cabecera.sustituto_nulo : campo;
        destino.Anadir(texto.constData(), texto.size());
        ++copiados;
    }
    return copiados;
}

// La conversión desde que se resuelve el destino (con `resolver`), tras Indicar_inicio.
Resumen_conversion Convertir(qint32 Int_filesCap, qint32 Lng_Soncolumn, qint32 Lng_Sonfila,
                             Lector_origen& origen,
                             const std::function<Destino_resuelto()>& resolver,
                             const Operaciones_progreso& progreso) {
    const QString& Ruta_origen = origen.Ruta();
    progreso.Indicar_inicio();
    progreso.Indicar_progreso(0.0);
    // El destino se resuelve una vez, antes de leer nada del origen; el temporal se crea y se
    // renombra en la carpeta que dio esa resolución.
    Destino_resuelto resuelto = resolver();
    Comprobar_distintos(origen, resuelto);

    const Cabecera_destino cabecera = Leer_cabecera(origen, Int_filesCap);
    // Copiar_campos reserva en el destino lo que queda del bloque de lectura más uno.
    static_assert(Escritor_destino::Tamano_predeterminado > Lector_origen::Tamano_predeterminado);
    Escritor_destino destino(std::move(resuelto));
    const QByteArray texto_cabecera = Escribir_cabecera(cabecera);
    destino.Anadir(texto_cabecera.constData(), texto_cabecera.size());

    const qint64 total = qint64{Lng_Soncolumn} * Lng_Sonfila;
    if (total == 0)
        Fallar(QStringLiteral("El número de columnas y el de filas no pueden ser 0 (columnas: %1, "
                              "filas: %2).")
                   .arg(Lng_Soncolumn)
                   .arg(Lng_Sonfila));

    // Sólo los orígenes que marcan de otra forma sus celdas sin datos miran cada campo.
    const bool sustituir = !cabecera.marca_nula.isEmpty();
    const qint32 C = cabecera.columnas;
    const qint32 R = cabecera.filas;
    Resumen_conversion resumen;
    resumen.columnas_cabecera = C;
    resumen.filas_cabecera = R;

    // Cada bloque empieza en una línea nueva y da R filas (al menos una) de C valores; lo que
    // sobra de la línea en que acaba se descarta. Una línea sin campos no aporta valores.
    while (!origen.Al_final()) {
        if (C < 1 && Int_filesCap < 1)
            Fallar(QStringLiteral("Ninguna línea de cabecera de «%1» da el número de columnas: "
                                  "se indicaron %2 líneas de cabecera, y el número de columnas "
                                  "sale de la línea 1 de la cabecera.")
                       .arg(Ruta_origen)
                       .arg(Int_filesCap));
        if (C < 1)
            Fallar(QStringLiteral("La línea 1 de «%1» indica %2 columnas, y una fila necesita al "
                                  "menos una; los valores empiezan en la línea %3.")
                       .arg(Ruta_origen)
                       .arg(C)
                       .arg(origen.Linea()));
        // Una cuenta de filas de 0 o negativa da bloques de una fila; el mínimo no se alcanza
        // al restar, así que la cuenta más negativa no desborda.
        qint32 filas_restantes = std::max(R, 1);
        bool agotado = false;
        do {
            --filas_restantes;
            const qint64 inicio_fila = destino.Posicion();
            for (qint32 c = 0; c < C;) {
                if (!sustituir) [[likely]]
                    c += static_cast<qint32>(origen.Copiar_campos(destino, C - c, c > 0));
                else
                    c += static_cast<qint32>(
                        Copiar_sustituyendo(origen, destino, C - c, c > 0, cabecera));
                if (c < C && origen.Al_final()) {
                    // Fila a medias: no se escribe y sus valores cuentan como descartados.
                    destino.Retroceder(inicio_fila);
                    resumen.valores_descartados += c;
                    agotado = true;
                    break;
                }
            }
            if (agotado) break;
            destino.Anadir("\r\n", 2);
            ++resumen.filas_escritas;
            resumen.valores_colocados += C;
            progreso.Indicar_progreso(static_cast<double>(resumen.valores_colocados) / total);
        } while (filas_restantes > 0);
        if (!agotado) resumen.valores_descartados += origen.Saltar_linea();
    }

    // Todo escrito, y los errores de escritura ya habrían saltado: la conversión ha terminado.
    // Queda esperar a que el disco tenga el fichero y darle su nombre, que no necesita avisos.
    destino.Terminar_escritura();
    progreso.Indicar_fin();
    destino.Confirmar();
    return resumen;
}

}  // namespace

Resumen_conversion Transfromar_cab(qint32 Int_filesCap, qint32 Lng_Soncolumn, qint32 Lng_Sonfila,
                                   const QString& Ruta_origen, const QString& Ruta_destino,
                                   const Operaciones_progreso& progreso) {
    Lector_origen origen(Ruta_origen);
    return Convertir(
        Int_filesCap, Lng_Soncolumn, Lng_Sonfila, origen,
        [&] { return Resolver_destino(Ruta_destino); }, progreso);
}

Resumen_conversion Transfromar_cab(qint32 Int_filesCap, qint32 Lng_Soncolumn, qint32 Lng_Sonfila,
                                   Lector_origen& origen, const QString& Ruta_destino,
                                   const Operaciones_progreso& progreso) {
    return Convertir(
        Int_filesCap, Lng_Soncolumn, Lng_Sonfila, origen,
        [&] {
            return Ruta_destino == QStringLiteral("-") ? Resolver_salida_estandar()
                                                       : Resolver_destino(Ruta_destino);
        },
        progreso);
}

}  // namespace tesmalo
