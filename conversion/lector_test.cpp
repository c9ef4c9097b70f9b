#include "conversion/lector.h"

#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "pruebas/apoyo.h"

using tesmalo::Extremos;
using tesmalo::Lector_origen;

namespace {

// Lee lo que queda como lista de líneas, cada una como lista de campos.
QList<QList<QByteArray>> Leer_todo(Lector_origen& lector) {
    QList<QList<QByteArray>> lineas;
    while (!lector.Al_final()) {
        QList<QByteArray> campos;
        QByteArray campo;
        while (lector.Siguiente_campo([&](const char* d, qsizetype n) { campo.append(d, n); })) {
            campos.append(campo);
            campo.clear();
        }
        lineas.append(campos);
    }
    return lineas;
}

QList<QList<QByteArray>> Leer_todo(const QString& ruta, qsizetype bloque) {
    Lector_origen lector(ruta, bloque);
    return Leer_todo(lector);
}

// Lo mismo por una tubería, que sólo se lee una vez: se guarda lo que se lee al saltar la
// primera línea, se vuelve al principio y se lee todo, lo guardado y después el resto.
QList<QList<QByteArray>> Leer_todo_por_tuberia(const QByteArray& contenido, qsizetype bloque) {
    int extremos[2];
    if (::pipe(extremos) != 0 || ::write(extremos[1], contenido.constData(),
                                         std::size_t(contenido.size())) != contenido.size())
        qFatal("no se pudo preparar la tubería");
    ::close(extremos[1]);
    Lector_origen lector(tesmalo::Descriptor(extremos[0]), QStringLiteral("tubería"), bloque);
    lector.Retener();
    if (!lector.Al_final()) lector.Saltar_linea();
    lector.Volver_al_principio();
    return Leer_todo(lector);
}

// Una salida para Copiar_campos que guarda lo copiado; cada reserva es un búfer nuevo del tamaño
// justo, para que los sanitizadores vean cualquier byte escrito fuera de él.
struct Salida_texto {
    QByteArray texto;
    std::unique_ptr<char[]> bufer;
    char* Reservar(qsizetype n) {
        bufer.reset(new char[std::size_t(n)]);
        return bufer.get();
    }
    void Avanzar(qsizetype n) { texto.append(bufer.get(), n); }
};

// `n` valores que se repiten, "0" a "9", separados por un espacio, en líneas de `por_linea`.
QByteArray Cifras(int n, int por_linea) {
    QByteArray texto;
    for (int i = 0; i < n; ++i)
        texto += QByteArray::number(i % 10) + ((i + 1) % por_linea == 0 ? "\n" : " ");
    return texto;
}

}  // namespace

using Lineas = QList<QList<QByteArray>>;

class Lector_test : public QObject {
    Q_OBJECT
    tesmalo::Carpeta_prueba carpeta_{QStringLiteral("origen.txt")};

  private slots:
    void lineas_data() {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<Lineas>("esperado");
        QTest::newRow("LF") << QByteArray("1 2\n3\n") << Lineas{{"1", "2"}, {"3"}};
        QTest::newRow("CRLF") << QByteArray("1 2\r\n3\r\n") << Lineas{{"1", "2"}, {"3"}};
        QTest::newRow("CR suelto") << QByteArray("1 2\r3\r") << Lineas{{"1", "2"}, {"3"}};
        QTest::newRow("mezcla") << QByteArray("1\r\n2\r3\n4") << Lineas{{"1"}, {"2"}, {"3"}, {"4"}};
        QTest::newRow("sin fin de línea al final") << QByteArray("1 2") << Lineas{{"1", "2"}};
        QTest::newRow("fin de línea al final no abre otra") << QByteArray("1\n") << Lineas{{"1"}};
        QTest::newRow("CRLF al final no abre otra") << QByteArray("1\r\n") << Lineas{{"1"}};
        QTest::newRow("LF CR son dos fines") << QByteArray("1\n\r2") << Lineas{{"1"}, {}, {"2"}};
        QTest::newRow("líneas en blanco") << QByteArray("\n  \n\r\n") << Lineas{{}, {}, {}};
        QTest::newRow("vacío") << QByteArray() << Lineas{};
        QTest::newRow("espacios sueltos") << QByteArray("  7   8  \n") << Lineas{{"7", "8"}};
        QTest::newRow("tabuladores y espacios separan")
            << QByteArray("\ta\tb \t c\t\r\n\t\n") << Lineas{{"a", "b", "c"}, {}};
        QTest::newRow("NUL y bytes altos")
            << QByteArray("\x00\xff \xf1\n", 5) << Lineas{{QByteArray("\x00\xff", 2), "\xf1"}};
    }
    // Cada caso, con bloques de lectura de 1, 2, 3 y 1 MiB bytes: los campos y los CRLF
    // partidos entre dos bloques deben leerse igual; también por una tubería, tras leer la
    // primera línea y volver al principio (un CRLF partido entre lo guardado y lo nuevo).
    void lineas() {
        QFETCH(QByteArray, contenido);
        QFETCH(Lineas, esperado);
        const QString ruta = carpeta_.Escribir(contenido);
        for (qsizetype bloque : {1, 2, 3, 1 << 20}) {
            QCOMPARE(Leer_todo(ruta, bloque), esperado);
            QCOMPARE(Leer_todo_por_tuberia(contenido, bloque), esperado);
        }
    }

    // Un origen gzip se lee descomprimido, con cualquier bloque, de un fichero o de una
    // tubería, y también tras volver al principio; varios miembros seguidos son uno solo.
    void gzip_data() {
        QTest::addColumn<QByteArray>("comprimido");
        QTest::addColumn<Lineas>("esperado");
        QTest::newRow("un miembro")
            << tesmalo::Comprimir_gzip("1 2\r\n3\n") << Lineas{{"1", "2"}, {"3"}};
        QTest::newRow("dos miembros, un campo partido entre ellos")
            << tesmalo::Comprimir_gzip("1 2\n3") + tesmalo::Comprimir_gzip("4 5\n")
            << Lineas{{"1", "2"}, {"34", "5"}};
        QTest::newRow("vacío comprimido") << tesmalo::Comprimir_gzip("") << Lineas{};
        QTest::newRow("empieza por 1f sin ser gzip") << QByteArray(
                                                            "\x1f"
                                                            "1 2\n")
                                                     << Lineas{{"\x1f"
                                                                "1",
                                                                "2"}};
    }
    void gzip() {
        QFETCH(QByteArray, comprimido);
        QFETCH(Lineas, esperado);
        const QString ruta = carpeta_.Escribir(comprimido);
        for (qsizetype bloque : {1, 2, 3, 1 << 20}) {
            QCOMPARE(Leer_todo(ruta, bloque), esperado);
            QCOMPARE(Leer_todo_por_tuberia(comprimido, bloque), esperado);
            Lector_origen lector(ruta, bloque);
            if (!lector.Al_final()) lector.Saltar_linea();
            lector.Volver_al_principio();
            QCOMPARE(Leer_todo(lector), esperado);
        }
    }

    // Un flujo gzip dañado o cortado es un error que lo dice, nunca un final sin más.
    void gzip_roto_data() {
        QTest::addColumn<QByteArray>("comprimido");
        QTest::addColumn<QString>("causa");
        const QByteArray bueno = tesmalo::Comprimir_gzip(Cifras(2000, 10));
        QByteArray danado = bueno;
        danado[danado.size() / 2] = char(danado[danado.size() / 2] ^ 0x55);
        QTest::newRow("cortado") << bueno.left(bueno.size() - 5) << "se acaba a medias";
        QTest::newRow("dañado") << danado << "están dañados";
        QTest::newRow("basura tras el miembro") << bueno + "xyz"
                                                << "están dañados";
    }
    void gzip_roto() {
        QFETCH(QByteArray, comprimido);
        QFETCH(QString, causa);
        const QString ruta = carpeta_.Escribir(comprimido);
        try {
            Lector_origen lector(ruta);
            while (!lector.Al_final()) lector.Saltar_linea();
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains(causa), qPrintable(mensaje));
            QVERIFY2(mensaje.contains(ruta), qPrintable(mensaje));
        }
    }

    // Copiar_campos cruza los fines de línea: cada racha de espacios y fines de línea entre dos
    // campos es un espacio, y tras el último campo el separador queda sin leer. Los casos largos
    // ponen campos, rachas y CRLF a caballo de los bloques de 64 bytes del escáner.
    void copiar_campos_data() {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<qint64>("k");
        QTest::addColumn<bool>("espacio");
        QTest::addColumn<QByteArray>("salida");
        QTest::addColumn<qint64>("copiados");
        QTest::addColumn<qint64>("linea");      // Linea() después
        QTest::addColumn<QByteArray>("resto");  // lo que copia después Copiar_campos de todo
        const QByteArray a63(63, 'a'), x200(200, 'x');
        QTest::newRow("una fila por línea")
            << QByteArray("1 2 3\n4 5 6\n") << 3ll << false << QByteArray("1 2 3") << 3ll << 1ll
            << QByteArray(" 4 5 6");
        QTest::newRow("cruza fines de línea")
            << QByteArray("1 2\n3 4\n") << 3ll << false << QByteArray("1 2 3") << 3ll << 2ll
            << QByteArray(" 4");
        QTest::newRow("rachas de separadores")
            << QByteArray("  1  \r\n\n  2 \r 3\n") << 3ll << false << QByteArray("1 2 3") << 3ll
            << 4ll << QByteArray();
        QTest::newRow("espacio delante") << QByteArray("7 8") << 1ll << true << QByteArray(" 7")
                                         << 1ll << 1ll << QByteArray(" 8");
        QTest::newRow("se acaba el fichero") << QByteArray("1 2\n3") << 5ll << false
                                             << QByteArray("1 2 3") << 3ll << 2ll << QByteArray();
        QTest::newRow("CR sueltos") << QByteArray("1\r2\r3\r") << 3ll << false
                                    << QByteArray("1 2 3") << 3ll << 3ll << QByteArray();
        QTest::newRow("líneas vacías") << QByteArray(100, '\n') + "1" << 1ll << false
                                       << QByteArray("1") << 1ll << 101ll << QByteArray();
        QTest::newRow("una fila larga")
            << Cifras(300, 300) << 150ll << false << Cifras(150, 1000).chopped(1) << 150ll << 1ll
            << " " + Cifras(150, 1000).chopped(1);
        QTest::newRow("uno por línea")
            << Cifras(100, 1) << 100ll << false << Cifras(100, 1000).chopped(1) << 100ll << 100ll
            << QByteArray();
        QTest::newRow("diez por línea")
            << Cifras(100, 10) << 95ll << true << " " + Cifras(95, 1000).chopped(1) << 95ll << 10ll
            << QByteArray(" 5 6 7 8 9");
        QTest::newRow("CRLF partido entre bloques")
            << a63 + "\r\nb" + QByteArray(100, ' ') + "c\n"
            << 2ll << false << a63 + " b" << 2ll << 2ll << QByteArray(" c");
        QTest::newRow("campo que acaba en el byte 64")
            << a63 + "a b" << 1ll << false << a63 + "a" << 1ll << 1ll << QByteArray(" b");
        QTest::newRow("racha de espacios entre bloques")
            << "a" + QByteArray(100, ' ') + "b" << 2ll << false << QByteArray("a b") << 2ll << 1ll
            << QByteArray();
        QTest::newRow("campo más largo que un bloque")
            << x200 + "\ny " + x200 << 2ll << true << " " + x200 + " y" << 2ll << 2ll << " " + x200;
        QTest::newRow("separador en el byte 63 y campo en el 64")
            << a63 + " " + x200 + "  \r\n"
            << 2ll << false << a63 + " " + x200 << 2ll << 1ll << QByteArray();
        // Valores cortos separados por tabuladores, espacios y CRLF mezclados: casi todos los
        // bloques de 64 bytes tienen separadores que se quitan, y el primero acaba en medio.
        QByteArray mezcla = QByteArray(61, 'x');
        for (int i = 0; i < 40; ++i)
            mezcla += QByteArray(i % 3 == 0   ? "\t\r\n"
                                 : i % 3 == 1 ? " \t"
                                              : "\r\n\t ") +
                      QByteArray::number(i % 10);
        QByteArray mezcla_copiada = QByteArray(61, 'x');
        for (int i = 0; i < 40; ++i) mezcla_copiada += " " + QByteArray::number(i % 10);
        QTest::newRow("tabuladores, espacios y CRLF a caballo de los bloques")
            << mezcla + "\t\r\n"
            << 41ll << false << mezcla_copiada << 41ll << 28ll << QByteArray();
    }
    // Cada caso con bloques de lectura de varios tamaños, para que lo partan en sitios distintos.
    void copiar_campos() {
        QFETCH(QByteArray, contenido);
        QFETCH(qint64, k);
        QFETCH(bool, espacio);
        QFETCH(QByteArray, salida);
        QFETCH(qint64, copiados);
        QFETCH(qint64, linea);
        QFETCH(QByteArray, resto);
        const QString ruta = carpeta_.Escribir(contenido);
        for (qsizetype bloque : {1, 2, 3, 63, 64, 65, 100, 127, 1 << 20}) {
            Lector_origen lector(ruta, bloque);
            Salida_texto copia;
            QCOMPARE(lector.Copiar_campos(copia, k, espacio), copiados);
            QCOMPARE(copia.texto, salida);
            QCOMPARE(lector.Linea(), linea);
            Salida_texto despues;
            lector.Copiar_campos(despues, qint64{1} << 40, true);
            QCOMPARE(despues.texto, resto);
            QVERIFY(lector.Al_final());
        }
    }

    void extremos_data() {
        QTest::addColumn<QByteArray>("linea");
        QTest::addColumn<QByteArray>("primero");
        QTest::addColumn<QByteArray>("ultimo");
        QTest::newRow("clave y valor")
            << QByteArray("ncols 401\r\n") << QByteArray("ncols") << QByteArray("401");
        QTest::newRow("con igual")
            << QByteArray("  ncols = 401  \n") << QByteArray("ncols") << QByteArray("401");
        QTest::newRow("un campo, CR suelto")
            << QByteArray("401\r") << QByteArray("401") << QByteArray("401");
        QTest::newRow("vacía") << QByteArray("\n") << QByteArray() << QByteArray();
        QTest::newRow("sólo espacios") << QByteArray("    \n") << QByteArray() << QByteArray();
    }
    void extremos() {
        QFETCH(QByteArray, linea);
        QFETCH(QByteArray, primero);
        QFETCH(QByteArray, ultimo);
        for (qsizetype bloque : {1, 4, 1 << 20}) {
            Lector_origen lector(carpeta_.Escribir(linea + "siguiente"), bloque);
            Extremos e;
            lector.Leer_extremos(e);
            QCOMPARE(QByteArray::fromStdString(e.primero), primero);
            QCOMPARE(QByteArray::fromStdString(e.ultimo), ultimo);
            QCOMPARE(lector.Linea(), 2);
            lector.Leer_extremos(e);
            QCOMPARE(e.primero, "siguiente");
            QVERIFY(lector.Al_final());
        }
    }

    // Un campo enorme se guarda cortado y marcado, sin que la memoria crezca con él.
    void extremo_demasiado_largo() {
        Lector_origen lector(
            carpeta_.Escribir("a " + QByteArray(Extremos::Largo_maximo + 10, '7') + "\n"));
        Extremos e;
        lector.Leer_extremos(e);
        QCOMPARE(e.primero, "a");
        QVERIFY(!e.primero_largo);
        QVERIFY(e.ultimo_largo);
        QCOMPARE(e.ultimo.size(), Extremos::Largo_maximo);
    }

    void saltar_cuenta_campos() {
        Lector_origen lector(carpeta_.Escribir("1 2 3\n4\n"));
        QVERIFY(lector.Siguiente_campo([](const char*, qsizetype) {}));
        QCOMPARE(lector.Saltar_linea(), 2);
        QCOMPARE(lector.Saltar_linea(), 1);
        QVERIFY(lector.Al_final());
    }

    void citar_data() {
        QTest::addColumn<QByteArray>("texto");
        QTest::addColumn<QString>("cita");
        QTest::newRow("tal cual") << QByteArray("ncols") << "ncols";
        QTest::newRow("UTF-8") << QByteArray(
                                      "se\xc3\xb1"
                                      "al")
                               << QString::fromUtf8("señal");
        QTest::newRow("controles a la vista") << QByteArray("a\tb\x00", 4) << "a\\x09b\\x00";
        QTest::newRow("cortado a 40")
            << QByteArray(50, '7') << QString(40, '7') + QString::fromUtf8("…");
    }
    void citar() {
        QFETCH(QByteArray, texto);
        QFETCH(QString, cita);
        QCOMPARE(tesmalo::Citar(std::string_view(texto.constData(), texto.size())), cita);
    }

    // Un origen que alguien acorta mientras se lee no se da por leído entero: se acaba antes
    // del tamaño que tenía al abrirlo, y eso es un error, no el final del fichero.
    void acortado_mientras_se_lee() {
        const QString ruta =
            carpeta_.Escribir("1 2 3 4 5 6 7 8 9 10\n11 12 13 14 15 16 17 18 19 20\n");
        Lector_origen lector(ruta, 8);
        QVERIFY(lector.Siguiente_campo([](const char*, qsizetype) {}));
        QVERIFY(QFile::resize(ruta, 20));
        try {
            while (!lector.Al_final()) lector.Saltar_linea();
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains("se ha acortado mientras se leía: tenía 51 bytes y se acaba "
                                      "en el byte 20"),
                     qPrintable(mensaje));
            QVERIFY2(mensaje.contains(ruta), qPrintable(mensaje));
        }
    }

    // Un fichero de /sys dice 4096 bytes y da unos pocos: eso es su final, no un fichero
    // acortado mientras se leía.
    void tamano_que_no_es_su_largo_data() {
        QTest::addColumn<QString>("ruta");
        QTest::newRow("/sys: procesadores en marcha") << "/sys/devices/system/cpu/online";
        QTest::newRow("/sys: procesadores posibles") << "/sys/devices/system/cpu/possible";
    }
    void tamano_que_no_es_su_largo() {
        QFETCH(QString, ruta);
        QFile f(ruta);
        if (!f.open(QIODevice::ReadOnly)) QSKIP("sin /sys montado");
        const QByteArray contenido = f.readAll();
        QVERIFY(QFileInfo(ruta).size() > contenido.size());
        Lector_origen lector(ruta);
        QByteArray leido;
        while (!lector.Al_final())
            while (lector.Siguiente_campo([&](const char* d, qsizetype n) { leido.append(d, n); }))
                ;
        QCOMPARE(leido, contenido.trimmed());
    }

    // Lo que crece mientras se lee, en cambio, se lee también.
    void alargado_mientras_se_lee() {
        const QString ruta = carpeta_.Escribir("1 2\n");
        Lector_origen lector(ruta, 2);
        QVERIFY(lector.Siguiente_campo([](const char*, qsizetype) {}));
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::Append) && f.write("3 4\n") == 4);
        f.close();
        QCOMPARE(lector.Saltar_linea(), 1);
        QCOMPARE(lector.Saltar_linea(), 2);
        QVERIFY(lector.Al_final());
    }

    void errores_de_apertura_data() {
        QTest::addColumn<QString>("ruta");
        QTest::addColumn<QString>("causa");
        QTest::newRow("no existe")
            << carpeta_.filePath("no_existe.asc") << "No se puede abrir el fichero de origen";
        QTest::newRow("carpeta") << carpeta_.path() << "es una carpeta";
        QTest::newRow("vacía") << QString() << "No se ha indicado el fichero de origen";
    }
    void errores_de_apertura() {
        QFETCH(QString, ruta);
        QFETCH(QString, causa);
        try {
            Lector_origen lector(ruta);
            QFAIL("debía fallar");
        } catch (const std::runtime_error& e) {
            const QString mensaje = QString::fromUtf8(e.what());
            QVERIFY2(mensaje.contains(causa), qPrintable(mensaje));
            QVERIFY2(mensaje.contains(ruta), qPrintable(mensaje));
        }
    }
};

// TESMALO_SIMD (avx2, sse2 o portable) impone una versión del escáner; CTest pasa las pruebas
// con cada una. Si el procesador no la tiene, la prueba se salta: sale con 200, que no es ningún
// recuento de fallos de Qt Test (como mucho 127).
int main(int argc, char** argv) {
    if (const std::string simd = tesmalo::Forzar_escaner_del_entorno(); !simd.empty()) {
        std::printf("Este procesador no puede usar el escáner %s: prueba saltada.\n", simd.c_str());
        return 200;
    }
    const std::string_view escaner = tesmalo::Nombre_escaner();
    std::printf("Escáner: %.*s\n", int(escaner.size()), escaner.data());
    Lector_test prueba;
    return QTest::qExec(&prueba, argc, argv);
}
#include "lector_test.moc"
