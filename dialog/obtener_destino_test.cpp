#include "dialog/obtener_destino.h"

#include <QTest>

#include "toolkit/herramientas_guion.h"

using namespace tesmalo;
using namespace Qt::StringLiterals;

class Obtener_destino_test : public QObject {
    Q_OBJECT
  private slots:
    void respuesta_de_la_caja_data() {
        QTest::addColumn<QString>("respuesta");  // lo que deja el usuario; nulo: acepta
        QTest::addColumn<QString>("destino");
        QTest::newRow("acepta la propuesta") << QString() << "/datos/mdt/zona1_reestruct.txt";
        // Tal cual, sin resolver: la ventana toma junto al origen un destino relativo.
        QTest::newRow("relativo, sin resolver") << "otra/z.txt"
                                                << "otra/z.txt";
        QTest::newRow("blancos alrededor, sin recortar") << "  /otra/z.txt "
                                                         << "  /otra/z.txt ";
        QTest::newRow("cancela o vacía la caja") << ""
                                                 << "";
    }
    void respuesta_de_la_caja() {
        QFETCH(QString, respuesta);
        QFETCH(QString, destino);
        Guion_cajas guion;
        if (respuesta.isNull())
            guion.textos << Aceptar_propuesta;
        else
            guion.textos << [respuesta](const QString&) { return respuesta; };
        const auto obtenido = Obtener_destino(u"/datos/mdt/zona1.asc"_s, guion.Herramientas());
        QCOMPARE(obtenido.Carpeta_origen, u"/datos/mdt/"_s);
        QCOMPARE(obtenido.Ruta_destino, destino);
        QCOMPARE(guion.peticiones.size(), 1);
        QCOMPARE(guion.peticiones[0].indicacion, u"Modificar aquello que corresponda"_s);
        QCOMPARE(guion.peticiones[0].titulo, u"Fichero_destino"_s);
        QCOMPARE(guion.peticiones[0].predeterminado, u"/datos/mdt/zona1_reestruct.txt"_s);
        QVERIFY(guion.mensajes.isEmpty());
    }

    void nombre_corto_falla_sin_abrir_la_caja() {
        Guion_cajas guion;
        guion.textos << Aceptar_propuesta;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 Obtener_destino(u"/datos/a.b"_s, guion.Herramientas()));
        QVERIFY(guion.peticiones.isEmpty());
    }
};

QTEST_MAIN(Obtener_destino_test)
#include "obtener_destino_test.moc"
