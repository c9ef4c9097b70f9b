#include "fields/numero.h"

#include <QTest>

using tesmalo::Leer_entero;
using tesmalo::Leer_numero;
using tesmalo::Redondear_entero;

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(std::optional<qint32>)

namespace {
const std::optional<double> No;
const std::optional<qint32> Ninguno;
}  // namespace

class Numero_test : public QObject {
    Q_OBJECT
  private slots:
    // Cada fila fija su configuración regional: nada depende de la de la máquina.
    void leer_data() {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<std::optional<double>>("esperado");
        for (const char* local : {"es_ES", "en_US", "C"}) {
            const auto fila = [&](const char* nombre) -> QTestData& {
                return QTest::addRow("%s: %s", local, nombre);
            };
            fila("punto decimal llano") << local << "12.5" << std::optional(12.5);
            fila("nodata con ceros")
                << local << "-999.000"
                << std::optional(local == QString("es_ES") ? -999000.0 : -999.0);
            fila("entero") << local << "401" << std::optional(401.0);
            fila("blancos alrededor") << local << " 7 " << std::optional(7.0);
            fila("negativo") << local << "-5" << std::optional(-5.0);
            fila("signo más") << local << "+3" << std::optional(3.0);
            fila("exponente") << local << "1.5E+03" << std::optional(1500.0);
            fila("exponente grande") << local << "1E12" << std::optional(1e12);
            fila("vacío") << local << "" << No;
            fila("sólo blancos") << local << "   " << No;
            fila("palabra clave") << local << "ncols" << No;
            fila("inf") << local << "inf" << No;
            fila("nan") << local << "nan" << No;
            fila("infinity") << local << "-infinity" << No;
            fila("hexadecimal") << local << "0x1A" << No;
            fila("hexadecimal en coma flotante") << local << "0x1p3" << No;
            fila("desborda el double") << local << "1e999" << No;
            fila("número con palabra") << local << "401 columnas" << No;
            fila("sólo signo") << local << "-" << No;
            fila("sólo punto") << local << "." << No;
            fila("exponente sin cifras") << local << "1e" << No;
            fila("punto final") << local << "258." << std::optional(258.0);
            fila("punto inicial") << local << ".5" << std::optional(0.5);
        }
        QTest::newRow("es_ES: coma decimal") << "es_ES"
                                             << "2,5" << std::optional(2.5);
        QTest::newRow("es_ES: miles y coma") << "es_ES"
                                             << "12.345,5" << std::optional(12345.5);
        QTest::newRow("en_US: coma de miles") << "en_US"
                                              << "1,234.5" << std::optional(1234.5);
        QTest::newRow("en_US: coma mal agrupada") << "en_US"
                                                  << "2,5" << No;
        QTest::newRow("C: coma no es decimal") << "C"
                                               << "2,5" << No;
        QTest::newRow("de_DE: coma decimal") << "de_DE"
                                             << "-0,25" << std::optional(-0.25);
        // La agrupación de miles de cada configuración, también donde Qt no agruparía.
        const auto agrupado = [](const char* local, const char* texto, std::optional<double> v) {
            QTest::addRow("%s: agrupado %s", local, texto) << local << texto << v;
        };
        agrupado("es_ES", "1.000", 1000.0);
        agrupado("es_ES", "-1.000", -1000.0);
        agrupado("es_ES", "1.234.567", 1234567.0);
        agrupado("es_ES", "12.345", 12345.0);
        agrupado("es_ES", "1.234,5", 1234.5);
        agrupado("es_ES", " 1.000,25e1 ", 10002.5);
        agrupado("es_ES", "1.5", 1.5);     // mal agrupado: forma llana
        agrupado("es_ES", "1.0000", 1.0);  // grupo de cuatro: forma llana
        agrupado("es_ES", "1..000", No);
        agrupado("es_ES", "1.000.", No);
        agrupado("en_US", "1,000", 1000.0);
        agrupado("en_US", "1,234,567.5", 1234567.5);
        agrupado("en_US", "1.000", 1.0);
        agrupado("de_DE", "1.000", 1000.0);
        agrupado("de_DE", "1.234.567", 1234567.0);
        agrupado("de_DE", "1.234,5", 1234.5);
        agrupado("de_DE", "1.5", 1.5);
        agrupado("C", "1,000", 1000.0);
        agrupado("C", "1,234,567", 1234567.0);
        agrupado("C", "1.000", 1.0);
        agrupado("C", "1,00", No);
    }
    void leer() {
        QFETCH(QString, local);
        QFETCH(QString, texto);
        QFETCH(std::optional<double>, esperado);
        QCOMPARE(Leer_numero(QStringView(texto), QLocale(local)), esperado);
        QCOMPARE(Leer_numero(QByteArrayView(texto.toLatin1()), QLocale(local)), esperado);
    }

    // Donde empiezan los valores, «nan» e «inf» son valores, como en los lectores del formato.
    void es_valor_data() {
        QTest::addColumn<QStringList>("valores");
        QTest::addColumn<QStringList>("otros");
        QTest::newRow("nan e inf, con signo y en cualquier caja")
            << QStringList{"nan",  "-nan",     "NaN",       "inf",  "-inf",
                           "+Inf", "INFINITY", "-nan(ind)", "12.5", "-9999"}
            << QStringList{"",     "ncols",    "nanometros", "info", "infinit",
                           "nan(", "nan(a b)", "--nan",      "n"};
    }
    void es_valor() {
        QFETCH(QStringList, valores);
        QFETCH(QStringList, otros);
        for (const QString& v : valores) QVERIFY2(tesmalo::Es_valor(v.toLatin1()), qPrintable(v));
        for (const QString& o : otros) QVERIFY2(!tesmalo::Es_valor(o.toLatin1()), qPrintable(o));
    }

    void redondear_data() {
        QTest::addColumn<double>("valor");
        QTest::addColumn<std::optional<qint32>>("esperado");
        QTest::newRow("2.5 al par 2") << 2.5 << std::optional<qint32>(2);
        QTest::newRow("3.5 al par 4") << 3.5 << std::optional<qint32>(4);
        QTest::newRow("-2.5 al par -2") << -2.5 << std::optional<qint32>(-2);
        QTest::newRow("400.5 da 400") << 400.5 << std::optional<qint32>(400);
        QTest::newRow("401.5 da 402") << 401.5 << std::optional<qint32>(402);
        QTest::newRow("2.51 sube") << 2.51 << std::optional<qint32>(3);
        QTest::newRow("máximo de 32 bits") << 2147483647.0 << std::optional<qint32>(2147483647);
        QTest::newRow("mínimo de 32 bits")
            << -2147483648.0 << std::optional<qint32>(-2147483647 - 1);
        QTest::newRow("por encima del máximo") << 2147483647.5 << Ninguno;
        QTest::newRow("por debajo del mínimo") << -2147483649.0 << Ninguno;
        QTest::newRow("1E12") << 1e12 << Ninguno;
    }
    void redondear() {
        QFETCH(double, valor);
        QFETCH(std::optional<qint32>, esperado);
        QCOMPARE(Redondear_entero(valor), esperado);
    }

    void leer_entero_data() {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<std::optional<qint32>>("esperado");
        QTest::newRow("es_ES 12,5 da 12") << "es_ES"
                                          << "12,5" << std::optional<qint32>(12);
        QTest::newRow("es_ES 13,5 da 14") << "es_ES"
                                          << "13,5" << std::optional<qint32>(14);
        QTest::newRow("es_ES 12.5 llano da 12") << "es_ES"
                                                << "12.5" << std::optional<qint32>(12);
        QTest::newRow("en_US 14.5 da 14") << "en_US"
                                          << "14.5" << std::optional<qint32>(14);
        QTest::newRow("es_ES 1.000 da mil") << "es_ES"
                                            << "1.000" << std::optional<qint32>(1000);
        QTest::newRow("es_ES 1.5 llano da 2") << "es_ES"
                                              << "1.5" << std::optional<qint32>(2);
        QTest::newRow("C 1E12 no cabe") << "C"
                                        << "1E12" << Ninguno;
        QTest::newRow("C palabra") << "C"
                                   << "abc" << Ninguno;
    }
    void leer_entero() {
        QFETCH(QString, local);
        QFETCH(QString, texto);
        QFETCH(std::optional<qint32>, esperado);
        QCOMPARE(Leer_entero(QStringView(texto), QLocale(local)), esperado);
    }
};

QTEST_APPLESS_MAIN(Numero_test)
#include "numero_test.moc"
