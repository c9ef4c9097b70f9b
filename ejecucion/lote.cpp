#include "ejecucion/lote.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "conversion/coordenadas.h"
#include "conversion/lector.h"
#include "inspection/destino.h"
#include "sistema/carpetas.h"
#include "sistema/identidad.h"
#include "sistema/origen.h"
#include "sistema/razones.h"
#include "sistema/temporales.h"

namespace tesmalo {
namespace {

// Ficheros que existen, por su número de nodo, con lo que se quiera saber de cada uno; se
// buscan con Mismo_fichero, que también ve el mismo fichero a través de un montaje overlay.
template <class Dato>
class Ficheros_vistos {
  public:
    void Anotar(const struct stat& estado, Dato dato) {
        vistos_.insert(estado.st_ino, {estado, std::move(dato)});
    }
    const Dato* Buscar(const struct stat& estado) const {
        for (auto it = vistos_.constFind(estado.st_ino);
             it != vistos_.cend() && it.key() == estado.st_ino; ++it)
            if (Mismo_fichero(it->first, estado)) return &it->second;
        return nullptr;
    }

  private:
    QMultiHash<ino_t, std::pair<struct stat, Dato>> vistos_;
};

}  // namespace

QStringList Textos_avisos(const Resumen_conversion& r) {
    QStringList avisos;
    // Con menos filas de las anunciadas la conversión falla: aquí sólo llegan más, o una
    // cuenta de filas de 0 o negativa, que no anuncia ninguna.
    if (r.filas_escritas != r.filas_cabecera) {
        QString aviso = QString("se escribieron %1 filas y la cabecera anuncia %2")
                            .arg(r.filas_escritas)
                            .arg(r.filas_cabecera);
        if (r.filas_cabecera >= 1)
            aviso +=
                QString(": quien lea el destino tomará sólo las %1 primeras").arg(r.filas_cabecera);
        avisos << aviso;
    }
    if (r.valores_descartados != 0)
        avisos << QString(
                      "se descartaron %1 valores (sobrantes al final de un bloque de filas o "
                      "de una fila incompleta)")
                      .arg(r.valores_descartados);
    return avisos;
}

Plan_lote Planear_lote(const QString& carpeta, const QStringList& origenes) {
    Plan_lote plan;
    if (const auto estado = Estado(carpeta); !estado)
        plan.rechazos << QString("la carpeta de destino «%1» no existe: %2")
                             .arg(carpeta, Razon_del_sistema(errno));
    else if (!S_ISDIR(estado->st_mode))
        plan.rechazos << QString("«%1» no es una carpeta").arg(carpeta);

    const QString prefijo = carpeta.endsWith('/') ? carpeta : carpeta + '/';
    const Nombres_carpeta nombres =
        plan.rechazos.isEmpty() ? Sondear_nombres(carpeta) : Nombres_carpeta{};
    // Dónde acaba una ruta, con su nombre en la forma que la carpeta tiene por igual.
    const auto lugar = [&](const QString& ruta) {
        const QFileInfo info(Ruta_absoluta(ruta));
        return QDir::cleanPath(info.absolutePath()) + '/' + nombres.Clave(info.fileName());
    };
    QSet<QString> rutas_origen;
    Ficheros_vistos<bool> ficheros_origen;
    // Los orígenes que son ficheros normales, por su tamaño: un destino que ya existe con el
    // tamaño y la hora de uno de ellos se compara con él byte a byte.
    QMultiHash<qint64, std::pair<struct stat, QString>> origenes_por_tamano;
    QList<qint64> tamanos;
    // Los .prj de los orígenes, que sus conversiones leen.
    QSet<QString> rutas_prj;
    Ficheros_vistos<bool> ficheros_prj;
    for (const QString& origen : origenes) {
        rutas_origen.insert(lugar(origen));
        const QString prj = Ruta_prj_origen(origen);
        if (const auto estado_prj = Estado(prj)) {
            rutas_prj.insert(lugar(prj));
            ficheros_prj.Anotar(*estado_prj, true);
        }
        const auto estado = Estado(origen);
        if (estado) ficheros_origen.Anotar(*estado, true);
        if (estado && S_ISREG(estado->st_mode))
            origenes_por_tamano.insert(estado->st_size, {*estado, origen});
        tamanos << (estado && S_ISREG(estado->st_mode) ? qint64(estado->st_size) : 0);
    }
    // Destino (como lo ve la carpeta) → el primer origen que lo escribe y su ruta.
    QHash<QString, std::pair<QString, QString>> origen_de;
    // Un destino que ya existe, por el fichero al que lleva (un enlace puede llevar al de
    // otro): el primer origen y la ruta por la que lo escribiría.
    Ficheros_vistos<std::pair<QString, QString>> escrito_por;
    // Los destinos que son enlaces colgados: se miran al final, cuando se saben todos.
    struct Colgado {
        QString origen, destino;
        int error;
    };
    QList<Colgado> colgados;
    // Un destino de `origen`: la rejilla o su .prj. Se anota, y se rechaza si choca con otro
    // destino o con un origen (o con el .prj de un origen, que otro trabajo está leyendo).
    const auto comprobar = [&](const QString& origen, const QString& destino) {
        const QString clave = lugar(destino);
        if (const auto otro = origen_de.constFind(clave); otro != origen_de.cend()) {
            if (otro->second == destino)
                plan.rechazos << QString("«%1» y «%2» escribirían el mismo destino, «%3»")
                                     .arg(otro->first, origen, destino);
            else
                plan.rechazos << QString(
                                     "«%1» y «%2» escribirían el mismo fichero: «%3» y «%4» son "
                                     "el mismo nombre en «%5», que no distingue mayúsculas de "
                                     "minúsculas")
                                     .arg(otro->first, origen, otro->second, destino, carpeta);
            return;
        }
        origen_de.insert(clave, {origen, destino});
        // El destino se resuelve como lo resolverá su conversión: un enlace que no se puede
        // seguir la hará fallar, y uno colgado podría dejar de estarlo cuando otra conversión
        // del lote cree el fichero al que lleva, y entonces dos escribirían en él.
        if (const int error = Enlace_que_no_se_sigue(destino); error != 0) {
            colgados << Colgado{origen, destino, error};
            return;
        }
        const auto estado = Estado(destino);
        if (estado) {
            if (const auto* otro = escrito_por.Buscar(*estado)) {
                plan.rechazos << QString(
                                     "«%1» y «%2» escribirían el mismo fichero: «%3» y «%4» "
                                     "llevan a él")
                                     .arg(otro->first, origen, otro->second, destino);
                return;
            }
            escrito_por.Anotar(*estado, {origen, destino});
        }
        if (rutas_origen.contains(clave) || (estado && ficheros_origen.Buscar(*estado))) {
            plan.rechazos
                << QString("el destino de «%1», «%2», es uno de los orígenes").arg(origen, destino);
            return;
        }
        if (rutas_prj.contains(clave) || (estado && ficheros_prj.Buscar(*estado))) {
            plan.rechazos << QString(
                                 "el destino de «%1», «%2», es el sistema de coordenadas (.prj) "
                                 "de uno de los orígenes")
                                 .arg(origen, destino);
            return;
        }
        // Visto por otro camino (una carpeta de red y la del servidor, FUSE), el sistema da
        // otro fichero: el destino es el origen si tiene su tamaño, su hora y sus bytes.
        if (!estado || !S_ISREG(estado->st_mode)) return;
        for (auto it = origenes_por_tamano.constFind(estado->st_size);
             it != origenes_por_tamano.cend() && it.key() == estado->st_size; ++it)
            if (Parecen_el_mismo(it->first, *estado) && Mismo_contenido(it->second, destino) == 1) {
                plan.rechazos << QString(
                                     "el destino de «%1», «%2», es uno de los orígenes, «%3», "
                                     "al que se llega por otro nombre (tiene su tamaño, su hora "
                                     "y los mismos bytes)")
                                     .arg(origen, destino, it->second);
                break;
            }
    };
    for (const QString& origen : origenes) {
        Trabajo_lote t{origen, {}, {}, tamanos[plan.trabajos.size()]};
        try {
            const Propuesta_destino p = Proponer_destino(origen);
            t.destino = prefijo + p.Ruta_destino.mid(p.Carpeta_origen.size());
        } catch (const std::exception& e) {
            t.error = QString::fromUtf8(e.what());
        }
        plan.trabajos << t;
        if (t.destino.isEmpty()) continue;
        const qsizetype antes = plan.rechazos.size();
        comprobar(origen, t.destino);
        // Su conversión escribirá también el .prj, si el origen lo tiene.
        if (plan.rechazos.size() == antes && Estado(Ruta_prj_origen(origen)))
            comprobar(origen, Ruta_prj_destino(t.destino));
    }
    for (const auto& [origen, destino, error] : colgados) {
        const QString lleva_a = Destino_del_enlace(destino);
        const auto otro = error != ENOENT || lleva_a.isEmpty()
                              ? origen_de.cend()
                              : origen_de.constFind(lugar(lleva_a));
        if (otro != origen_de.cend() && otro->first != origen)
            plan.rechazos << QString(
                                 "«%1» y «%2» escribirían el mismo fichero: «%3» es un enlace "
                                 "simbólico a «%4», el destino de «%2»")
                                 .arg(origen, otro->first, destino, otro->second);
        else if (error == ENOENT)
            plan.rechazos << QString(
                                 "el destino de «%1», «%2», es un enlace simbólico a «%3», "
                                 "que no existe")
                                 .arg(origen, destino, lleva_a);
        else
            plan.rechazos << QString(
                                 "el destino de «%1», «%2», es un enlace simbólico que no se "
                                 "puede seguir: %3")
                                 .arg(origen, destino, Razon_del_sistema(error));
    }
    return plan;
}

void Correr_lote(const Plan_lote& plan, int hilos, const Pedido_conversion& comun,
                 const Avisos_lote& avisos) {
    const int n = static_cast<int>(plan.trabajos.size());
    Anunciar_destinos(n);
    const auto convertir = [&](int hueco, int indice) {
        const Trabajo_lote& t = plan.trabajos[indice];
        QStringList textos;
        std::optional<std::string> error;
        try {
            if (!t.error.isEmpty()) throw std::runtime_error(t.error.toStdString());
            Pedido_conversion pedido = comun;
            pedido.origen = t.origen;
            pedido.destino = t.destino;
            Operaciones_progreso progreso;
            progreso.Indicar_inicio = [] {};
            progreso.Indicar_progreso = [&](double fraccion) {
                avisos.Avanzar(hueco, indice, std::clamp(fraccion, 0.0, 1.0));
            };
            progreso.Indicar_fin = [] {};
            textos = Textos_avisos(Convertir_pedido(pedido, progreso));
        } catch (const std::exception& e) {
            error = e.what();
        }
        avisos.Acabar(hueco, indice, textos, error ? error->c_str() : nullptr);
    };
    std::atomic<int> siguiente{0};
    std::vector<std::jthread> trabajadores;
    for (int hueco = 0; hueco < std::min(n, hilos); ++hueco)
        trabajadores.emplace_back([&, hueco] {
            for (int i; (i = siguiente++) < n;) convertir(hueco, i);
        });
}

}  // namespace tesmalo
