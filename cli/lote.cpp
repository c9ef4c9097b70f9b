#include "cli/lote.h"

#include <QFile>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/barra.h"
#include "conversion/lector.h"
#include "conversion/temporales.h"
#include "inspection/explorar.h"

namespace tesmalo_cli {
namespace {

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
        Dibujar_barra(porcentaje,
                      QStringLiteral("  %1/%2").arg(hechos_.load()).arg(ficheros_).toLatin1());
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
void Convertir_trabajo(const Pedido_lote& pedido, const Trabajo_lote& t, int hueco,
                       Informe_lote& informe, Cuentas& cuentas) {
    const QByteArray origen = Local(t.origen);
    try {
        if (!t.error.isEmpty()) throw std::runtime_error(t.error.toStdString());
        tesmalo::Origen_preparado o =
            tesmalo::Preparar_origen(t.origen, pedido.cabecera, pedido.columnas, pedido.filas);
        tesmalo::Operaciones_progreso progreso;
        progreso.Indicar_inicio = [] {};
        progreso.Indicar_progreso = [&](double fraccion) {
            informe.Avanzar(hueco, static_cast<qint64>(std::clamp(fraccion, 0.0, 1.0) * t.bytes));
        };
        progreso.Indicar_fin = [] {};
        const tesmalo::Resumen_conversion r = tesmalo::Transfromar_cab(
            o.cabecera, o.columnas, o.filas, *o.lector, t.destino, progreso);
        const QStringList avisos = tesmalo::Textos_avisos(r);
        for (const QString& aviso : avisos)
            informe.Escribir("aviso: " + origen + ": " + Local(aviso) + "\n");
        ++(avisos.isEmpty() ? cuentas.convertidos : cuentas.con_avisos);
    } catch (const std::exception& e) {
        informe.Escribir("tesmalo-cli: error: " + origen + ": " + e.what() + "\n");
        ++cuentas.fallidos;
    }
    informe.Terminar(hueco, t.bytes);
}

}  // namespace

int Convertir_lote(const Pedido_lote& pedido) {
    const Plan_lote plan = tesmalo::Planear_lote(pedido.carpeta, pedido.origenes);
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
    qint64 total = 0;
    for (const Trabajo_lote& t : plan.trabajos) total += t.bytes;

    Informe_lote informe(pedido.barra, std::max(hilos, 1), total, n);
    Cuentas cuentas;
    std::atomic<int> siguiente{0};
    {
        std::vector<std::jthread> trabajadores;
        for (int hueco = 0; hueco < hilos; ++hueco)
            trabajadores.emplace_back([&, hueco] {
                for (int i; (i = siguiente++) < n;)
                    Convertir_trabajo(pedido, plan.trabajos[i], hueco, informe, cuentas);
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
