#include "conversion/transformar.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "conversion/cabecera.h"
#include "conversion/coordenadas.h"
#include "conversion/lector.h"
#include "sistema/escritor.h"
#include "sistema/identidad.h"
#include "sistema/razones.h"
#include "sistema/resolver_destino.h"

namespace tesmalo {
namespace {

// Un destino que es el propio origen (por la misma ruta, un enlace, un enlace duro o un
// montaje overlay) se rechaza: escribirlo destruiría lo que se está leyendo. Se compara el
// fichero que el lector tiene abierto con el que el sistema resolvió para el destino. Donde los
// números de nodo no lo dicen (FUSE da uno a cada nombre y a cada camino), un destino que existe
// es el origen si su carpeta tiene los dos nombres por iguales, o si tiene su tamaño, su hora y
// sus bytes: rechazarlo no pierde nada. Sólo un destino del tamaño y la hora del origen se lee.
void Comprobar_distintos(const Lector_origen& origen, const Destino_resuelto& destino) {
    if (destino.tipo == Destino_resuelto::Tipo::Nuevo) return;
    if (Mismo_fichero(origen.Estado(), destino.estado))
        Fallar(QStringLiteral("El fichero de destino «%1» es el mismo fichero de origen.")
                   .arg(destino.ruta));
    if (!S_ISREG(origen.Estado().st_mode) || !S_ISREG(destino.estado.st_mode)) return;
    const auto otro_nombre = [&](const QString& porque) {
        Fallar(QStringLiteral("El fichero de destino «%1» es el mismo fichero de origen, «%2», al "
                              "que se llega por otro nombre: %3. No se reemplaza, para no perder "
                              "el origen; elija otro destino.")
                   .arg(destino.ruta, origen.Ruta(), porque));
    };
    if (Mismo_nombre_en_carpeta(origen.Ruta(), destino))
        otro_nombre(
            QStringLiteral("su carpeta no distingue mayúsculas de minúsculas en los "
                           "nombres"));
    const int igual = Mismo_contenido(origen.Fd(), origen.Estado(), destino);
    const int error = errno;
    if (igual < 0)
        Fallar(QStringLiteral("No se puede comprobar si el fichero de destino «%1», del tamaño y "
                              "la hora del origen «%2», es el mismo fichero con otro nombre: %3. "
                              "No se reemplaza.")
                   .arg(destino.ruta, origen.Ruta(), Razon_del_sistema(error)));
    if (igual > 0)
        otro_nombre(
            QStringLiteral("tiene su tamaño, su hora de modificación y los mismos bytes, "
                           "como un fichero visto por una carpeta de red y por la del "
                           "servidor, o por un montaje y su capa"));
}

// Los valores se acabaron en la línea `linea` antes de llenar las filas que anuncia la
// cabecera: las filas enteras y los valores de la que quedó a medias están en `r`.
[[noreturn]] void Fallar_valores_escasos(const QString& Ruta_origen, qint64 linea,
                                         const Resumen_conversion& r) {
    const QString anunciada =
        QStringLiteral("%1 filas de %2 valores").arg(r.filas_cabecera).arg(r.columnas_cabecera);
    QString hay;
    if (r.filas_escritas == 0 && r.valores_descartados == 0)
        hay = QStringLiteral(
                  "«%1» no tiene ningún valor tras su cabecera, que acaba en la línea "
                  "%2, y la cabecera anuncia %3.")
                  .arg(Ruta_origen)
                  .arg(linea)
                  .arg(anunciada);
    else
        hay = QStringLiteral(
                  "Los valores de «%1» se acaban en la línea %2 y dan %3 filas "
                  "enteras%4, y la cabecera anuncia %5.")
                  .arg(Ruta_origen)
                  .arg(linea)
                  .arg(r.filas_escritas)
                  .arg(r.valores_descartados == 0
                           ? QString()
                           : QStringLiteral(" y %1 valores de otra").arg(r.valores_descartados))
                  .arg(anunciada);
    Fallar(hay + QStringLiteral(" El destino no sería una rejilla completa y no se ha escrito: "
                                "compruebe que el origen está entero (que no se cortó al copiarlo "
                                "o descargarlo) y que su cabecera dice bien las columnas y las "
                                "filas."));
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
    std::optional<Coordenadas_destino> coordenadas = Preparar_coordenadas(origen, resuelto);

    const Cabecera_destino cabecera = Leer_cabecera(origen, Int_filesCap);
    // Copiar_campos reserva en el destino lo que queda del bloque de lectura más uno.
    static_assert(Escritor_destino::Tamano_predeterminado > Lector_origen::Tamano_predeterminado);
    Escritor_destino destino(std::move(resuelto));
    // El .prj, si lo hay, es un fichero más del mismo guardado: se confirma con la rejilla.
    std::optional<Escritor_destino> acompanante;
    if (coordenadas) {
        acompanante.emplace(std::move(coordenadas->destino), Largo_maximo_prj + 1, true);
        acompanante->Anadir(coordenadas->bytes.constData(), coordenadas->bytes.size());
    }
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

    // La línea del último valor colocado (la de la cabecera si aún no hay ninguno), para decir
    // dónde se acaban los valores.
    qint64 linea_valor = origen.Linea() - 1;
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
                const qint64 linea_antes = origen.Linea();
                qint64 copiados;
                if (!sustituir) [[likely]]
                    copiados = origen.Copiar_campos(destino, C - c, c > 0);
                else
                    copiados = Copiar_sustituyendo(origen, destino, C - c, c > 0, cabecera);
                c += static_cast<qint32>(copiados);
                if (c < C && origen.Al_final()) {
                    // El origen se acabó tras el último valor copiado: en su línea, si no pasó
                    // ningún fin de línea; si no, en la anterior a la que se leería después
                    // (un fichero acaba en un fin de línea).
                    if (copiados > 0) linea_valor = std::max(linea_antes, origen.Linea() - 1);
                    // Fila a medias: no se escribe y sus valores cuentan como descartados.
                    destino.Retroceder(inicio_fila);
                    resumen.valores_descartados += c;
                    agotado = true;
                    break;
                }
            }
            // Tras el último campo copiado, su separador queda sin leer: la línea que se está
            // leyendo es la suya.
            if (!agotado) linea_valor = origen.Linea();
            if (agotado) break;
            destino.Anadir("\r\n", 2);
            ++resumen.filas_escritas;
            resumen.valores_colocados += C;
            progreso.Indicar_progreso(static_cast<double>(resumen.valores_colocados) / total);
        } while (filas_restantes > 0);
        if (!agotado) resumen.valores_descartados += origen.Saltar_linea();
    }
    // Las filas que anuncia la cabecera tienen que estar enteras: si no, el destino no es una
    // rejilla que se pueda leer, y no se deja. Una cuenta de filas de 0 o negativa no anuncia
    // ninguna, y lo que sobra tras las anunciadas sólo da avisos.
    if (R >= 1 && resumen.filas_escritas < R)
        Fallar_valores_escasos(Ruta_origen, linea_valor, resumen);

    // Todo escrito, y los errores de escritura ya habrían saltado: la conversión ha terminado.
    // Queda esperar a que el disco tenga el fichero y darle su nombre, que no necesita avisos.
    destino.Terminar_escritura();
    progreso.Indicar_fin();
    destino.Confirmar(acompanante ? &*acompanante : nullptr);
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
