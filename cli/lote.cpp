#include "cli/lote.h"

#include <QFile>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <vector>

#include "cli/barra.h"

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
    const int hilos =
        std::min(n, pedido.trabajos > 0 ? pedido.trabajos : QThread::idealThreadCount());
    qint64 total = 0;
    for (const Trabajo_lote& t : plan.trabajos) total += t.bytes;

    Informe_lote informe(pedido.barra, std::max(hilos, 1), total, n);
    Cuentas cuentas;
    tesmalo::Avisos_lote avisos;
    avisos.Avanzar = [&](int hueco, int indice, double fraccion) {
        informe.Avanzar(hueco, static_cast<qint64>(fraccion * plan.trabajos[indice].bytes));
    };
    avisos.Acabar = [&](int hueco, int indice, const QStringList& textos, const char* error) {
        const Trabajo_lote& t = plan.trabajos[indice];
        const QByteArray origen = Local(t.origen);
        if (error) {
            informe.Escribir("tesmalo-cli: error: " + origen + ": " + error + "\n");
            ++cuentas.fallidos;
        } else {
            for (const QString& aviso : textos)
                informe.Escribir("aviso: " + origen + ": " + Local(aviso) + "\n");
            ++(textos.isEmpty() ? cuentas.convertidos : cuentas.con_avisos);
        }
        informe.Terminar(hueco, t.bytes);
    };
    tesmalo::Correr_lote(plan, hilos, pedido.comun, avisos);
    informe.Cerrar();
    if (pedido.resumen)
        std::fprintf(stderr, "tesmalo-cli: convertidos: %d de %d (con avisos: %d); fallidos: %d\n",
                     cuentas.convertidos + cuentas.con_avisos, n, cuentas.con_avisos.load(),
                     cuentas.fallidos.load());
    return cuentas.fallidos > 0 ? 1 : 0;
}

}  // namespace tesmalo_cli
