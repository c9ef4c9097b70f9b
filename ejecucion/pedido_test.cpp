#include "ejecucion/pedido.h"

#include <QTemporaryDir>
#include <QTest>

#include "pruebas/apoyo.h"

using tesmalo::Convertir_pedido;
using tesmalo::Pedido_conversion;

namespace {

// Dos filas de dos valores con su cabecera de seis líneas.
const QByteArray Rejilla =
    "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\ncellsize 1\nnodata_value -9\n1 2\n3 4\n";

}  // namespace

class Pedido_test : public QObject {
    Q_OBJECT
  private slots:
    // Las cuentas que el pedido no da salen de la cabecera; las que da, valen tal cual (las
    // columnas y las filas escalan el progreso). El destino es siempre el de la rejilla.
    void cuentas_data() {
        QTest::addColumn<int>("cabecera");  // -1: no se da
        QTest::addColumn<int>("columnas");
        QTest::addColumn<int>("filas");
        QTest::addColumn<double>("ultima_fraccion");
        QTest::newRow("ninguna: las tres de la cabecera") << -1 << -1 << -1 << 1.0;
        QTest::newRow("sólo las líneas: columnas y filas de ellas") << 6 << -1 << -1 << 1.0;
        QTest::newRow("las tres dadas escalan el progreso") << 6 << 4 << 2 << 0.5;
        QTest::newRow("sólo las filas: las demás de la cabecera") << -1 << -1 << 4 << 0.5;
    }
    void cuentas() {
        QFETCH(int, cabecera);
        QFETCH(int, columnas);
        QFETCH(int, filas);
        QFETCH(double, ultima_fraccion);
        QTemporaryDir carpeta;
        Pedido_conversion pedido;
        pedido.origen = carpeta.filePath("rejilla.asc");
        pedido.destino = carpeta.filePath("destino.txt");
        const auto dada = [](int n) { return n < 0 ? std::nullopt : std::optional<qint32>(n); };
        pedido.cabecera = dada(cabecera);
        pedido.columnas = dada(columnas);
        pedido.filas = dada(filas);
        QVERIFY(tesmalo::Escribir(pedido.origen, Rejilla));

        double ultima = -1;
        const tesmalo::Resumen_conversion r =
            Convertir_pedido(pedido, {[] {}, [&](double fraccion) { ultima = fraccion; }, [] {}});
        QCOMPARE(ultima, ultima_fraccion);
        QCOMPARE(r.filas_escritas, 2);
        QCOMPARE(tesmalo::Leer(pedido.destino),
                 QByteArray("ncols         2\r\nnrows         2\r\nxllcorner     0\r\n"
                            "yllcorner     0\r\ncellsize      1\r\nnodata_value  -9\r\n"
                            "1 2\r\n3 4\r\n"));
    }
};

QTEST_GUILESS_MAIN(Pedido_test)
#include "pedido_test.moc"
