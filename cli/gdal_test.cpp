// Lo que escribe tesmalo-cli lo lee gdalinfo como una rejilla ASCII de Esri: con el tamaño, el
// origen y el tamaño de celda de la cabecera, y con los valores del origen en su sitio.
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "pruebas/apoyo.h"

namespace {

using tesmalo::Muestras;

// Lanza `programa` y devuelve su salida; vacía si no terminó con 0 en dos minutos (lo dice en
// el registro).
QByteArray Salida(const QString& programa, const QStringList& argumentos) {
    const tesmalo::Resultado_proceso r = tesmalo::Lanzar_programa(programa, argumentos, {}, 120000);
    if (r.codigo != 0) {
        qWarning() << programa << argumentos << r.errores;
        return {};
    }
    return r.salida;
}

// Los valores del origen en orden de lectura, tras sus `cabecera` líneas de cabecera.
QList<QByteArray> Valores_origen(const QString& ruta, int cabecera) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return {};
    for (int i = 0; i < cabecera; ++i) f.readLine();
    return f.readAll().simplified().split(' ');
}

// Lo que gdalinfo dice de la rejilla: tamaño, origen, tamaño de celda y valor sin datos.
QStringList Geometria(const QString& ruta) {
    const QString info = QString::fromUtf8(Salida("gdalinfo", {ruta}));
    QStringList lineas;
    for (const char* patron :
         {R"(^Size is .*$)", R"(^Origin = .*$)", R"(^Pixel Size = .*$)", R"(NoData Value=.*$)"})
        lineas << QRegularExpression(patron, QRegularExpression::MultilineOption)
                      .match(info)
                      .captured();
    return lineas;
}

// Los valores de cada celda como los lee gdal, fila a fila desde arriba.
QList<QByteArray> Celdas(const QString& ruta) {
    QList<QByteArray> valores;
    for (const QByteArray& xyz :
         Salida("gdal_translate", {"-q", "-of", "XYZ", ruta, "/vsistdout/"}).trimmed().split('\n'))
        valores << xyz.split(' ').value(2);
    return valores;
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
        QTest::newRow("zona1.asc") << "zona1.asc" << 6 << 401 << 301 << 258.0 << 448.5 + 301 * 15.0
                                   << 15.0 << false << false;
        QTest::newRow("zona1.asc.gz") << "zona1.asc" << 6 << 401 << 301 << 258.0
                                      << 448.5 + 301 * 15.0 << 15.0 << false << true;
        QTest::newRow("uno_por_linea.txt") << "uno_por_linea.txt" << 6 << 23 << 17 << 431250.0
                                           << 4581200.0 + 17 * 5.0 << 5.0 << false << false;
        QTest::newRow("fila_por_linea.dtm") << "fila_por_linea.dtm" << 8 << 37 << 29 << 1000.25
                                            << 2000.5 + 29 * 2.5 << 2.5 << false << false;
        QTest::newRow("irregular.grd") << "irregular.grd" << 6 << 31 << 19 << 500.0
                                       << 750.0 + 19 * 10.0 << 10.0 << false << false;
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
        const tesmalo::Resultado_proceso cli =
            tesmalo::Lanzar({"-q", comprimido ? gz : origen, destino});
        QCOMPARE(cli.errores, QByteArray());
        QCOMPARE(cli.codigo, 0);

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

    // Cada forma de cabecera da la misma rejilla que gdal lee en el origen: tamaño, origen,
    // celda, valor sin datos y cada valor. En una rejilla GRASS, «*» es una celda sin datos.
    void lee_lo_mismo_que_el_origen_data() {
        QTest::addColumn<QByteArray>("origen");
        QTest::addColumn<QString>("error");  // vacío si la conversión debe terminar
        const QByteArray valores = "1 2 3\n4 -9999 6.5\n";
        QTest::newRow("claves en otro orden")
            << "NROWS 2\ncellsize 30.0\nxllcorner 100.0\nNCOLS 3\nyllcorner 200.0\n"
               "NODATA_value -9999\n" +
                   valores
            << QString();
        QTest::newRow("sin nodata_value")
            << "nrows 2\nncols 3\nxllcorner 0\nyllcorner 0\ncellsize 1\n" + valores << QString();
        QTest::newRow("sin yllcorner: se rechaza")
            << "nCols 3\nnRows 2\nxllcorner 0.00\ncellsize 1\nnodata_value 9999.00\n" + valores
            << "le falta la línea de yllcorner";
        QTest::newRow("centros") << "ncols 3\nnrows 2\nxllcenter 3.5\nyllcenter 3.5\ncellsize 1\n"
                                    "nodata_value -9999\n" +
                                        valores
                                 << QString();
        QTest::newRow("dx y dy") << "ncols 3\nnrows 2\nxllcorner 0\nyllcorner 0\ndx 2.5\ndy 1.25\n"
                                    "NODATA_value -9999\n" +
                                        valores
                                 << QString();
        QTest::newRow("GRASS con *")
            << QByteArray(
                   "north: 20\nsouth: 0\neast: 30\nwest: 0\nrows: 2\ncols: 3\n"
                   "1 * 3\n4 5.5 *\n")
            << QString();
        QTest::newRow("GRASS con null: y type:")
            << QByteArray(
                   "north: 4928010\nsouth: 4913700\neast: 609000\nwest: 589980\n"
                   "rows: 2\ncols: 3\nnull: -9999\ntype: int\n1 * 3\n-9999 5 6\n")
            << QString();
        QByteArray ancha =
            "ncols 1000\nnrows 1\nxllcorner 0\nyllcorner 0\n"
            "cellsize 10.236696404107\n";
        for (int i = 0; i < 1000; ++i) ancha += QByteArray::number(i) + ' ';
        QTest::newRow("celda que no se puede cortar a lo ancho") << ancha << QString();
    }
    void lee_lo_mismo_que_el_origen() {
        QFETCH(QByteArray, origen);
        QFETCH(QString, error);
        QTemporaryDir tmp;
        const QString ruta = tmp.filePath("origen.asc");
        const QString destino = tmp.filePath("destino.asc");
        tesmalo::Escribir_fichero_prueba(ruta, origen);
        const tesmalo::Resultado_proceso cli = tesmalo::Lanzar({"-q", ruta, destino});
        const QString mensaje = QString::fromUtf8(cli.errores);
        if (!error.isEmpty()) {
            QCOMPARE(cli.codigo, 1);
            QVERIFY2(mensaje.contains(error), qPrintable(mensaje));
            QVERIFY(!QFile::exists(destino));
            return;
        }
        QCOMPARE(mensaje, QString());
        QCOMPARE(cli.codigo, 0);

        const QStringList antes = Geometria(ruta), despues = Geometria(destino);
        QVERIFY2(!despues[0].isEmpty(), qPrintable(despues.join('\n')));
        const bool grass = origen.startsWith("north:");
        // gdal no ve el «*» de GRASS como celda sin datos, y sin null: no hay valor sin datos.
        QCOMPARE(despues.first(3), antes.first(3));
        if (!antes[3].isEmpty() || !grass) QCOMPARE(despues[3], antes[3]);
        const QList<QByteArray> leidos = Celdas(ruta), escritos = Celdas(destino);
        QCOMPARE(escritos.size(), leidos.size());
        const QList<QByteArray> textos = origen.simplified().split(' ');
        const QByteArray sin_datos = despues[3].section('=', 1).toLatin1();
        for (qsizetype i = 0; i < escritos.size(); ++i) {
            const bool nula = grass && textos[textos.size() - escritos.size() + i] == "*";
            QCOMPARE(escritos[i].toFloat(), (nula ? sin_datos : leidos[i]).toFloat());
        }
    }

    // Con el .prj del origen al lado, gdal lee en el destino el mismo sistema de coordenadas.
    void lee_el_mismo_sistema_de_coordenadas() {
        QTemporaryDir tmp;
        QVERIFY(QFile::copy(Muestras() + "/zona1.asc", tmp.filePath("zona1.asc")));
        tesmalo::Escribir_fichero_prueba(
            tmp.filePath("zona1.prj"),
            R"(PROJCS["ETRS_1989_UTM_Zone_30N",GEOGCS["GCS_ETRS_1989",DATUM["D_ETRS_1989",)"
            R"(SPHEROID["GRS_1980",6378137.0,298.257222101]],PRIMEM["Greenwich",0.0],)"
            R"(UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],)"
            R"(PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",0.0],)"
            R"(PARAMETER["Central_Meridian",-3.0],PARAMETER["Scale_Factor",0.9996],)"
            R"(PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]])");
        QCOMPARE(Salida(TESMALO_CLI, {"-q", tmp.filePath("zona1.asc"), tmp.filePath("z.asc")}),
                 QByteArray());
        const QByteArray antes = Salida("gdalsrsinfo", {"-o", "wkt1", tmp.filePath("zona1.asc")});
        QVERIFY2(antes.contains("UTM zone 30N"), antes.constData());
        QCOMPARE(Salida("gdalsrsinfo", {"-o", "wkt1", tmp.filePath("z.asc")}), antes);
    }
};

QTEST_GUILESS_MAIN(Gdal_test)
#include "gdal_test.moc"
