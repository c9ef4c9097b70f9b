#include "cli/lote.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "inspection/destino.h"
#include "inspection/explorar.h"
#include "sistema/descriptor.h"
#include "sistema/origen.h"
#include "sistema/razones.h"
#include "sistema/temporales.h"

namespace tesmalo_cli {
namespace {

// Lo que el sistema dice del fichero al que lleva `ruta`, si existe.
std::optional<struct stat> Estado(const QString& ruta) {
    struct stat estado {};
    if (::stat(QFile::encodeName(ruta).constData(), &estado) != 0) return std::nullopt;
    return estado;
}

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
            if (tesmalo::Mismo_fichero(it->first, estado)) return &it->second;
        return nullptr;
    }

  private:
    QMultiHash<ino_t, std::pair<struct stat, Dato>> vistos_;
};

// Cómo compara los nombres una carpeta: la de una memoria FAT o exFAT, o una carpeta con
// plegado de mayúsculas, ve un mismo fichero en «X.txt» y «x.txt», y quizá también en «É» y
// «é» o en las dos formas Unicode de «é».
struct Nombres_carpeta {
    bool pliega_ascii = false, pliega_unicode = false, normaliza = false;

    // La forma de `nombre` que la carpeta ve igual en todos los nombres que tiene por iguales.
    QString Clave(const QString& nombre) const {
        QString clave = normaliza ? nombre.normalized(QString::NormalizationForm_C) : nombre;
        if (pliega_unicode) return clave.toCaseFolded();
        if (pliega_ascii)
            for (QChar& c : clave)
                if (c.unicode() < 0x80) c = c.toLower();
        return clave;
    }
};

// Se averigua probando: crea un fichero oculto con un nombre y lo busca con otro que sólo
// difiere en mayúsculas (o en la forma Unicode); después lo borra. Una carpeta donde no se
// puede crear nada se toma por una que distingue (de todos modos no se podrá escribir en ella).
// Un nombre con «é» que la carpeta no admite (FAT por FUSE) deja el plegado Unicode supuesto:
// comparar de más sólo puede rechazar un lote, nunca perder un destino.
Nombres_carpeta Sondear_nombres(const QString& carpeta) {
    Nombres_carpeta nombres;
    const tesmalo::Descriptor dir(
        ::open(QFile::encodeName(carpeta).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Fd() < 0) return nombres;
    // Verdadero si el fichero creado como `creado` se encuentra como `buscado`, que no existía
    // antes. No se comparan los números de nodo: FUSE puede dar uno a cada nombre.
    const auto se_ve_como = [&](const QString& creado, const QString& buscado,
                                bool* creado_ok = nullptr) {
        const QByteArray a = QFile::encodeName(creado), b = QFile::encodeName(buscado);
        struct stat otro {};
        if (creado_ok) *creado_ok = false;
        if (::fstatat(dir.Fd(), b.constData(), &otro, AT_SYMLINK_NOFOLLOW) == 0) return false;
        const tesmalo::Descriptor f(
            ::openat(dir.Fd(), a.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600));
        if (f.Fd() < 0) return false;
        if (creado_ok) *creado_ok = true;
        const bool igual = ::fstatat(dir.Fd(), b.constData(), &otro, AT_SYMLINK_NOFOLLOW) == 0;
        ::unlinkat(dir.Fd(), a.constData(), 0);
        return igual;
    };
    const QString azar = QString::number(QRandomGenerator::global()->generate64(), 36);
    const QString base = ".tesmalo-nombres-" + azar;
    nombres.pliega_ascii = se_ve_como(base + "-x", base.toUpper() + "-X");
    bool creado = false;
    nombres.normaliza =
        se_ve_como(base + QStringLiteral("-\u00e9"), base + QStringLiteral("-e\u0301"), &creado);
    if (nombres.pliega_ascii)
        nombres.pliega_unicode = !creado || se_ve_como(base + QStringLiteral("-\u00e9"),
                                                       base + QStringLiteral("-\u00c9"));
    return nombres;
}

qint64 Tamano(const QString& ruta) {
    struct stat estado {};
    if (::stat(QFile::encodeName(ruta).constData(), &estado) != 0 || !S_ISREG(estado.st_mode))
        return 0;
    return estado.st_size;
}

QByteArray Local(const QString& texto) {
    return texto.toLocal8Bit();
}

// La barra de progreso del lote y las líneas de stderr, que la borran y la vuelven a dibujar
// para no mezclarse con ella. El avance son los bytes de los orígenes terminados más, de cada
// conversión en marcha, su fracción de progreso por el tamaño de su origen.
class Informe_lote {
  public:
    Informe_lote(bool barra, int trabajos, qint64 bytes_total, int ficheros)
        : barra_(barra),
          en_curso_(static_cast<std::size_t>(trabajos)),
          bytes_total_(bytes_total),
          ficheros_(ficheros) {}

    // El hilo `hueco` lleva hechos `bytes` de su origen actual.
    void Avanzar(int hueco, qint64 bytes) {
        if (!barra_) return;
        en_curso_[static_cast<std::size_t>(hueco)].store(bytes, std::memory_order_relaxed);
        if (Porcentaje() == dibujado_.load(std::memory_order_relaxed)) return;
        std::unique_lock bloqueo(cerrojo_, std::try_to_lock);
        if (bloqueo.owns_lock()) Dibujar();
    }

    // El hilo `hueco` terminó (bien o mal) un origen de `bytes` bytes.
    void Terminar(int hueco, qint64 bytes) {
        std::lock_guard bloqueo(cerrojo_);
        en_curso_[static_cast<std::size_t>(hueco)].store(0, std::memory_order_relaxed);
        bytes_hechos_ += bytes;
        ++hechos_;
        if (barra_) Dibujar(true);
    }

    // Una línea entera en stderr (con su '\n').
    void Escribir(const QByteArray& linea) {
        std::lock_guard bloqueo(cerrojo_);
        if (barra_ && dibujado_ >= 0) std::fprintf(stderr, "\r%*s\r", Ancho_linea, "");
        std::fputs(linea.constData(), stderr);
        if (barra_ && dibujado_ >= 0) Dibujar(true);
    }

    // Acaba la línea de la barra, si se dibujó.
    void Cerrar() {
        std::lock_guard bloqueo(cerrojo_);
        if (barra_ && dibujado_ >= 0) std::fputs("\n", stderr);
        dibujado_ = -1;
    }

  private:
    static constexpr int Ancho_barra = 40;
    static constexpr int Ancho_linea = Ancho_barra + 32;

    int Porcentaje() const {
        if (bytes_total_ <= 0) return ficheros_ == 0 ? 100 : hechos_ * 100 / ficheros_;
        qint64 hecho = bytes_hechos_.load(std::memory_order_relaxed);
        for (const auto& b : en_curso_) hecho += b.load(std::memory_order_relaxed);
        return static_cast<int>(std::clamp<qint64>(hecho * 100 / bytes_total_, 0, 100));
    }

    // Con el cerrojo tomado. Sólo redibuja si cambió el porcentaje o `siempre`.
    void Dibujar(bool siempre = false) {
        const int porcentaje = Porcentaje();
        if (!siempre && porcentaje == dibujado_) return;
        dibujado_ = porcentaje;
        const int llenas = porcentaje * Ancho_barra / 100;
        char linea[Ancho_linea + 16];
        int n = std::snprintf(linea, sizeof linea, "\r[");
        for (int i = 0; i < Ancho_barra; ++i) linea[n++] = i < llenas ? '#' : '-';
        std::snprintf(linea + n, sizeof linea - n, "] %3d%%  %d/%d", porcentaje, hechos_.load(),
                      ficheros_);
        std::fputs(linea, stderr);
    }

    const bool barra_;
    std::vector<std::atomic<qint64>> en_curso_;
    const qint64 bytes_total_;
    const int ficheros_;
    std::mutex cerrojo_;
    std::atomic<int> dibujado_{-1};  // porcentaje en pantalla; -1 si no hay barra dibujada
    std::atomic<qint64> bytes_hechos_{0};
    std::atomic<int> hechos_{0};
};

struct Cuentas {
    std::atomic<int> convertidos{0}, con_avisos{0}, fallidos{0};
};

// Convierte un origen del lote; cualquier fallo queda en su línea de stderr y en las cuentas.
void Convertir_trabajo(const Pedido_lote& pedido, const Trabajo_lote& t, qint64 bytes, int hueco,
                       Informe_lote& informe, Cuentas& cuentas) {
    const QByteArray origen = Local(t.origen);
    try {
        if (!t.error.isEmpty()) throw std::runtime_error(t.error.toStdString());
        tesmalo::Origen_preparado o =
            tesmalo::Preparar_origen(t.origen, pedido.cabecera, pedido.columnas, pedido.filas);
        tesmalo::Operaciones_progreso progreso;
        progreso.Indicar_inicio = [] {};
        progreso.Indicar_progreso = [&](double fraccion) {
            informe.Avanzar(hueco, static_cast<qint64>(std::clamp(fraccion, 0.0, 1.0) * bytes));
        };
        progreso.Indicar_fin = [] {};
        const tesmalo::Resumen_conversion r = tesmalo::Transfromar_cab(
            o.cabecera, o.columnas, o.filas, *o.lector, t.destino, progreso);
        const QStringList avisos = Textos_avisos(r);
        for (const QString& aviso : avisos)
            informe.Escribir("aviso: " + origen + ": " + Local(aviso) + "\n");
        ++(avisos.isEmpty() ? cuentas.convertidos : cuentas.con_avisos);
    } catch (const std::exception& e) {
        informe.Escribir("tesmalo-cli: error: " + origen + ": " + e.what() + "\n");
        ++cuentas.fallidos;
    }
    informe.Terminar(hueco, bytes);
}

}  // namespace

QStringList Textos_avisos(const tesmalo::Resumen_conversion& r) {
    QStringList avisos;
    if (r.filas_escritas != r.filas_cabecera)
        avisos << QString("se escribieron %1 filas y la cabecera anuncia %2")
                      .arg(r.filas_escritas)
                      .arg(r.filas_cabecera);
    if (r.valores_descartados != 0)
        avisos << QString(
                      "se descartaron %1 valores (sobrantes al final de un bloque de filas o "
                      "de una fila incompleta)")
                      .arg(r.valores_descartados);
    return avisos;
}

Plan_lote Planear_lote(const QString& carpeta, const QStringList& origenes) {
    Plan_lote plan;
    struct stat estado {};
    if (::stat(QFile::encodeName(carpeta).constData(), &estado) != 0)
        plan.rechazos << QString("la carpeta de destino «%1» no existe: %2")
                             .arg(carpeta, tesmalo::Razon_del_sistema(errno));
    else if (!S_ISDIR(estado.st_mode))
        plan.rechazos << QString("«%1» no es una carpeta").arg(carpeta);

    const QString prefijo = carpeta.endsWith('/') ? carpeta : carpeta + '/';
    const Nombres_carpeta nombres =
        plan.rechazos.isEmpty() ? Sondear_nombres(carpeta) : Nombres_carpeta{};
    // Dónde acaba una ruta, con su nombre en la forma que la carpeta tiene por igual.
    const auto lugar = [&](const QString& ruta) {
        const QFileInfo info(QDir::current().absoluteFilePath(ruta));
        return QDir::cleanPath(info.absolutePath()) + '/' + nombres.Clave(info.fileName());
    };
    QSet<QString> rutas_origen;
    Ficheros_vistos<bool> ficheros_origen;
    for (const QString& origen : origenes) {
        rutas_origen.insert(lugar(origen));
        if (const auto estado = Estado(origen)) ficheros_origen.Anotar(*estado, true);
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
    for (const QString& origen : origenes) {
        Trabajo_lote t{origen, {}, {}};
        try {
            const tesmalo::Propuesta_destino p = tesmalo::Proponer_destino(origen);
            t.destino = prefijo + p.Ruta_destino.mid(p.Carpeta_origen.size());
        } catch (const std::exception& e) {
            t.error = QString::fromUtf8(e.what());
        }
        plan.trabajos << t;
        if (t.destino.isEmpty()) continue;
        const QString clave = lugar(t.destino);
        if (const auto otro = origen_de.constFind(clave); otro != origen_de.cend()) {
            if (otro->second == t.destino)
                plan.rechazos << QString("«%1» y «%2» escribirían el mismo destino, «%3»")
                                     .arg(otro->first, origen, t.destino);
            else
                plan.rechazos << QString(
                                     "«%1» y «%2» escribirían el mismo fichero: «%3» y «%4» son "
                                     "el mismo nombre en «%5», que no distingue mayúsculas de "
                                     "minúsculas")
                                     .arg(otro->first, origen, otro->second, t.destino, carpeta);
            continue;
        }
        origen_de.insert(clave, {origen, t.destino});
        // El destino se resuelve como lo resolverá su conversión: un enlace que no se puede
        // seguir la hará fallar, y uno colgado podría dejar de estarlo cuando otra conversión
        // del lote cree el fichero al que lleva, y entonces dos escribirían en él.
        struct stat propio {};
        const QByteArray bytes = QFile::encodeName(t.destino);
        if (::lstat(bytes.constData(), &propio) == 0 && S_ISLNK(propio.st_mode)) {
            const tesmalo::Descriptor objeto(::open(bytes.constData(), O_PATH | O_CLOEXEC));
            if (objeto.Fd() < 0) {
                colgados << Colgado{origen, t.destino, errno};
                continue;
            }
        }
        const auto estado = Estado(t.destino);
        if (estado) {
            if (const auto* otro = escrito_por.Buscar(*estado)) {
                plan.rechazos << QString(
                                     "«%1» y «%2» escribirían el mismo fichero: «%3» y «%4» "
                                     "llevan a él")
                                     .arg(otro->first, origen, otro->second, t.destino);
                continue;
            }
            escrito_por.Anotar(*estado, {origen, t.destino});
        }
        if (rutas_origen.contains(clave) || (estado && ficheros_origen.Buscar(*estado)))
            plan.rechazos << QString("el destino de «%1», «%2», es uno de los orígenes")
                                 .arg(origen, t.destino);
    }
    for (const auto& [origen, destino, error] : colgados) {
        const QString lleva_a = QFileInfo(destino).symLinkTarget();
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
                                 .arg(origen, destino, tesmalo::Razon_del_sistema(error));
    }
    return plan;
}

int Convertir_lote(const Pedido_lote& pedido) {
    const Plan_lote plan = Planear_lote(pedido.carpeta, pedido.origenes);
    if (!plan.rechazos.isEmpty()) {
        for (const QString& r : plan.rechazos)
            std::fprintf(stderr, "tesmalo-cli: %s\n", Local(r).constData());
        std::fputs("tesmalo-cli: no se convirtió ningún origen\n", stderr);
        return 2;
    }
    const int n = static_cast<int>(plan.trabajos.size());
    // Una señal de fin sólo deja de interrumpir cuando todos los destinos tienen su nombre.
    tesmalo::Anunciar_destinos(n);
    const int hilos =
        std::min(n, pedido.trabajos > 0 ? pedido.trabajos : QThread::idealThreadCount());
    std::vector<qint64> bytes;
    qint64 total = 0;
    for (const Trabajo_lote& t : plan.trabajos) total += bytes.emplace_back(Tamano(t.origen));

    Informe_lote informe(pedido.barra, std::max(hilos, 1), total, n);
    Cuentas cuentas;
    std::atomic<int> siguiente{0};
    {
        std::vector<std::jthread> trabajadores;
        for (int hueco = 0; hueco < hilos; ++hueco)
            trabajadores.emplace_back([&, hueco] {
                for (int i; (i = siguiente++) < n;)
                    Convertir_trabajo(pedido, plan.trabajos[i], bytes[static_cast<std::size_t>(i)],
                                      hueco, informe, cuentas);
            });
    }
    informe.Cerrar();
    if (pedido.resumen)
        std::fprintf(stderr, "tesmalo-cli: convertidos: %d de %d (con avisos: %d); fallidos: %d\n",
                     cuentas.convertidos + cuentas.con_avisos, n, cuentas.con_avisos.load(),
                     cuentas.fallidos.load());
    return cuentas.fallidos > 0 ? 1 : 0;
}

}  // namespace tesmalo_cli
