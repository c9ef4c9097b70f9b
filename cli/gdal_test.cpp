// Lo que escribe tesmalo-cli lo lee gdalinfo como una rejilla ASCII de Esri: con el tamaño, el
// origen y el tamaño de celda de la cabecera, y con los valores del origen en su sitio.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "pruebas/apoyo.h"

namespace {

using tesmalo::Muestras;

// Lanza `programa` y devuelve su salida; vacía si no terminó con 0 (lo dice en el registro).
QByteArray Salida(const QString& programa, const QStringList& argumentos) {
    QProcess p;
    p.start(programa, argumentos);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning() << programa << argumentos << p.readAllStandardError();
        return {};
    }
    return p.readAllStandardOutput();
}

// Los valores del origen en orden de lectura, tras sus `cabecera` líneas de cabecera.
QList<QByteArray> Valores_origen(const QString& ruta, int cabecera) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return {};
    for (int i = 0; i < cabecera; ++i) f.readLine();
    return f.readAll().simplified().split(' ');
}

}  // namespace

class Gdal_test : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("gdalinfo").isEmpty() ||
            QStandardPaths::findExecutable("gdal_translate").isEmpty()) {
            QSKIP("faltan gdalinfo y gdal_translate (paquete gdal-bin)");
        }
    }

    void lee_la_conversion_data() {
        QTest::addColumn<QString>("muestra");
        QTest::addColumn<int>("cabecera");
        QTest::addColumn<int>("columnas");
        QTest::addColumn<int>("filas");
        QTest::addColumn<double>("x_origen");  // esquina superior izquierda
        QTest::addColumn<double>("y_origen");
        QTest::addColumn<double>("celda");
        QTest::addColumn<bool>("tabuladores");  // la muestra con tabuladores y CRLF
        QTest::addColumn<bool>("comprimido");   // el origen es la muestra comprimida con gzip
        // La cabecera escrita corta a dos decimales: «1000.255» queda en 1000.25.
        QTest::newRow("zona1.asc") << "zona1.asc" << 6 << 401 << 301 << 258.0
                                   << 448.5 + 301 * 15.0 << 15.0 << false << false;
        QTest::newRow("zona1.asc.gz") << "zona1.asc" << 6 << 401 << 301 << 258.0
                                      << 448.5 + 301 * 15.0 << 15.0 << false << true;
        QTest::newRow("uno_por_linea.txt") << "uno_por_linea.txt" << 6 << 23 << 17 << 431250.0
                                           << 4581200.0 + 17 * 5.0 << 5.0 << false << false;
        QTest::newRow("fila_por_linea.dtm") << "fila_por_linea.dtm" << 8 << 37 << 29 << 1000.25
                                            << 2000.5 + 29 * 2.5 << 2.5 << false << false;
        QTest::newRow("irregular.grd")
            << "irregular.grd" << 6 << 31 << 19 << 500.0 << 750.0 + 19 * 10.0 << 10.0 << false
            << false;
        QTest::newRow("irregular.grd con tabuladores y CRLF")
            << "irregular.grd" << 6 << 31 << 19 << 500.0 << 750.0 + 19 * 10.0 << 10.0 << true
            << false;
    }
    void lee_la_conversion() {
        QFETCH(QString, muestra);
        QFETCH(int, cabecera);
        QFETCH(int, columnas);
        QFETCH(int, filas);
        QFETCH(double, x_origen);
        QFETCH(double, y_origen);
        QFETCH(double, celda);
        QFETCH(bool, tabuladores);
        QFETCH(bool, comprimido);
        QTemporaryDir tmp;
        QString origen = Muestras() + "/" + muestra;
        if (tabuladores) {
            // Cada racha de espacios, un tabulador; cada fin de línea, CRLF.
            QFile f(origen);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString texto = QString::fromLatin1(f.readAll())
                                      .replace(QRegularExpression(" +"), "\t")
                                      .replace("\n", "\r\n");
            origen = tmp.filePath("tabuladores.asc");
            tesmalo::Escribir_fichero_prueba(origen, texto.toLatin1());
        }
        const QString destino = tmp.filePath("destino.txt");
        const QString gz = tmp.filePath(muestra + ".gz");
        if (comprimido)
            QVERIFY(tesmalo::Escribir(gz, tesmalo::Comprimir_gzip(tesmalo::Leer(origen))));
        QProcess cli;
        cli.start(TESMALO_CLI, {"-q", comprimido ? gz : origen, destino});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.readAllStandardError(), QByteArray());
        QCOMPARE(cli.exitCode(), 0);

        const QString info = Salida("gdalinfo", {destino});
        QVERIFY2(info.contains("Driver: AAIGrid/"), qPrintable(info));
        QVERIFY2(info.contains(QString("Size is %1, %2\n").arg(columnas).arg(filas)),
                 qPrintable(info));
        const QRegularExpressionMatch o =
            QRegularExpression(R"(Origin = \(([-0-9.]+),([-0-9.]+)\))").match(info);
        QVERIFY2(o.hasMatch(), qPrintable(info));
        QCOMPARE(o.captured(1).toDouble(), x_origen);
        QCOMPARE(o.captured(2).toDouble(), y_origen);
        QVERIFY2(
            info.contains(
                QString("Pixel Size = (%1,%2)").arg(celda, 0, 'f', 15).arg(-celda, 0, 'f', 15)),
            qPrintable(info));
        QVERIFY2(info.contains("NoData Value=-999\n"), qPrintable(info));

        // Cada celda, en el orden en que gdal la recorre (fila a fila desde arriba), tiene el
        // valor del origen en el mismo orden; gdal los lee como reales de 32 bits.
        const QList<QByteArray> valores = Valores_origen(origen, cabecera);
        QCOMPARE(valores.size(), qsizetype(columnas) * filas);
        const QByteArray xyz_destino =
            Salida("gdal_translate", {"-q", "-of", "XYZ", destino, "/vsistdout/"});
        // Del origen comprimido, gdal lee la misma rejilla que del destino.
        if (comprimido)
            QCOMPARE(
                Salida("gdal_translate", {"-q", "-of", "XYZ", "/vsigzip/" + gz, "/vsistdout/"}),
                xyz_destino);
        const QList<QByteArray> celdas = xyz_destino.trimmed().split('\n');
        QCOMPARE(celdas.size(), valores.size());
        for (qsizetype i = 0; i < celdas.size(); ++i) {
            const QList<QByteArray> xyz = celdas[i].split(' ');
            QCOMPARE(xyz.size(), 3);
            const float leido = xyz[2].toFloat();
            const float esperado = valores[i].toFloat();
            if (leido != esperado) {
                QFAIL(qPrintable(
                    QString("celda %1 (fila %2, columna %3): gdal lee %4, el origen "
                            "tiene %5")
                        .arg(i)
                        .arg(i / columnas + 1)
                        .arg(i % columnas + 1)
                        .arg(QString::fromLatin1(xyz[2]), QString::fromLatin1(valores[i]))));
            }
        }
    }
};

QTEST_GUILESS_MAIN(Gdal_test)
#include "gdal_test.moc"
