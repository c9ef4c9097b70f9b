// Pruebas de tesmalo-cli tal como lo usa quien lo llama: el ejecutable compilado, lanzado con
// QProcess, con sus argumentos, su salida, sus avisos y su código de salida.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "pruebas/apoyo.h"

namespace {

using Resultado = tesmalo::Resultado_proceso;
using tesmalo::Cabecera_3x2;
using tesmalo::Cabecera_escrita_3x2;
using tesmalo::Escribir;
using tesmalo::Lanzar;
using tesmalo::Leer;
using tesmalo::Muestras;

}  // namespace

class Cli_test : public QObject {
    Q_OBJECT
  private slots:
    void explorar_data() {
        QTest::addColumn<QString>("muestra");
        QTest::addColumn<QByteArray>("esperado");
        QTest::newRow("10 por línea, CRLF") << "zona1.asc" << QByteArray("6 401 301\n");
        QTest::newRow("uno por línea, claves en mayúsculas")
            << "uno_por_linea.txt" << QByteArray("6 23 17\n");
        QTest::newRow("fila por línea, dos comentarios")
            << "fila_por_linea.dtm" << QByteArray("8 37 29\n");
        QTest::newRow("líneas irregulares") << "irregular.grd" << QByteArray("6 31 19\n");
        // Sin muestra, el origen es el texto de esperado tras su primera línea.
        QTest::newRow("claves en otro orden")
            << "" << QByteArray("5 76 55\nNROWS 55\nxllcorner 0\nNCOLS 76\nyllcorner 0\ndx 1\n1\n");
        QTest::newRow("GRASS")
            << ""
            << QByteArray("6 3 2\nnorth: 2\nsouth: 0\neast: 3\nwest: 0\nrows: 2\ncols: 3\n*\n");
    }
    void explorar() {
        QFETCH(QString, muestra);
        QFETCH(QByteArray, esperado);
        QTemporaryDir tmp;
        if (muestra.isEmpty()) {
            const qsizetype fin = esperado.indexOf('\n') + 1;
            QVERIFY(Escribir(tmp.filePath("origen.asc"), esperado.sliced(fin)));
            esperado.truncate(fin);
        }
        const Resultado r = Lanzar({"--explorar", muestra.isEmpty() ? tmp.filePath("origen.asc")
                                                                    : Muestras() + "/" + muestra});
        QCOMPARE(r.errores, QByteArray());
        QCOMPARE(r.codigo, 0);
        QCOMPARE(r.salida, esperado);
    }

    // Sin DESTINO, el destino es el origen sin sus cuatro últimos caracteres más
    // "_reestruct.txt", también con una ruta relativa a la carpeta de trabajo.
    void destino_por_omision_data() {
        QTest::addColumn<bool>("relativa");
        QTest::newRow("ruta absoluta") << false;
        QTest::newRow("ruta relativa") << true;
    }
    void destino_por_omision() {
        QFETCH(bool, relativa);
        QTemporaryDir tmp;
        QVERIFY(QFile::copy(Muestras() + "/zona1.asc", tmp.filePath("zona1.asc")));
        const Resultado r =
            Lanzar({"-q", relativa ? "zona1.asc" : tmp.filePath("zona1.asc")}, tmp.path());
        QCOMPARE(r.errores, QByteArray());
        QCOMPARE(r.codigo, 0);
        QCOMPARE(r.salida, QByteArray());
        const QByteArray escrito = Leer(tmp.filePath("zona1_reestruct.txt"));
        QVERIFY(escrito.startsWith("ncols         401\r\nnrows         301\r\n"));
        QCOMPARE(escrito.count('\n'), 6 + 301);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(), 2);
    }

    // Conversiones que terminan (código 0), con o sin avisos.
    void conversion_data() {
        QTest::addColumn<QByteArray>("origen");
        QTest::addColumn<QStringList>("opciones");
        QTest::addColumn<QByteArray>("filas");  // lo escrito tras la cabecera
        QTest::addColumn<QByteArray>("avisos");
        QTest::newRow("cuadra") << Cabecera_3x2 + "1 2 3 4 5 6\n"
                                << QStringList() << QByteArray("1 2 3\r\n4 5 6\r\n")
                                << QByteArray();
        QTest::newRow("claves en otro orden")
            << QByteArray(
                   "NROWS 2\nNCOLS 3\nxllcorner 258.000\nyllcorner 448.500\n"
                   "cellsize 15.000\nnodata_value -999.000\n1 2 3 4 5 6\n")
            << QStringList() << QByteArray("1 2 3\r\n4 5 6\r\n") << QByteArray();
        QTest::newRow("sobran valores al final del bloque")
            << Cabecera_3x2 + "1 2 3 4 5 6 7 8\n"
            << QStringList() << QByteArray("1 2 3\r\n4 5 6\r\n")
            << QByteArray(
                   "aviso: se descartaron 2 valores (sobrantes al final de un bloque de filas o "
                   "de una fila incompleta)\n");
        QTest::newRow("dos bloques")
            << Cabecera_3x2 + "1 2 3 4 5 6\n7 8 9 10 11 12\n"
            << QStringList() << QByteArray("1 2 3\r\n4 5 6\r\n7 8 9\r\n10 11 12\r\n")
            << QByteArray(
                   "aviso: se escribieron 4 filas y la cabecera "
                   "anuncia 2: quien lea el destino tomará sólo las 2 primeras\n");
        // Las opciones como las lee getopt: un prefijo que sólo es de una opción, el valor
        // pegado a la opción corta y un número con signo.
        QTest::newRow("prefijos únicos: --cab 6 --fil=+1")
            << Cabecera_3x2 + "1 2 3 4 5 6\n"
            << QStringList{"--cab", "6", "--fil=+1"} << QByteArray("1 2 3\r\n4 5 6\r\n")
            << QByteArray();
        QTest::newRow("-q pegado a la opción siguiente: -qq")
            << Cabecera_3x2 + "1 2 3 4 5 6\n"
            << QStringList{"-qq", "--cabecera=006"} << QByteArray("1 2 3\r\n4 5 6\r\n")
            << QByteArray();
        QTest::newRow("--cabecera=6 --filas=1") << Cabecera_3x2 + "1 2 3 4 5 6\n"
                                                << QStringList{"--cabecera=6", "--filas=1"}
                                                << QByteArray("1 2 3\r\n4 5 6\r\n") << QByteArray();
        // Con --cabecera, las columnas y las filas salen de esas líneas, como en la conversión:
        // no se explora, y unos valores que la exploración no vería como tales se convierten.
        QTest::newRow("--cabecera 6 sola, valores que no son números")
            << Cabecera_3x2 + "a b c d e f\n"
            << QStringList{"--cabecera", "6"} << QByteArray("a b c\r\nd e f\r\n") << QByteArray();
        QTest::newRow("origen tras --")
            << Cabecera_3x2 + "1 2 3 4 5 6\n"
            << QStringList{"--"} << QByteArray("1 2 3\r\n4 5 6\r\n") << QByteArray();
    }
    void conversion() {
        QFETCH(QByteArray, origen);
        QFETCH(QStringList, opciones);
        QFETCH(QByteArray, filas);
        QFETCH(QByteArray, avisos);
        QTemporaryDir tmp;
        QVERIFY(Escribir(tmp.filePath("origen.asc"), origen));
        const Resultado r = Lanzar(opciones + QStringList{"origen.asc", "destino.txt"}, tmp.path());
        QCOMPARE(r.errores, avisos);
        QCOMPARE(r.codigo, 0);
        QCOMPARE(r.salida, QByteArray());
        QCOMPARE(Leer(tmp.filePath("destino.txt")), Cabecera_escrita_3x2 + filas);
    }

    // Un origen gzip se convierte en lo mismo que su rejilla descomprimida, en una conversión,
    // en un lote y por la entrada estándar, y se explora igual; el destino propuesto no
    // lleva el .gz.
    void gzip_data() {
        QTest::addColumn<QString>("modo");
        QTest::newRow("una conversión") << "una";
        QTest::newRow("--explorar") << "explorar";
        QTest::newRow("lote") << "lote";
        QTest::newRow("entrada estándar") << "entrada";
    }
    void gzip() {
        QFETCH(QString, modo);
        QTemporaryDir tmp;
        const QByteArray rejilla = Leer(Muestras() + "/zona1.asc");
        QVERIFY(QDir(tmp.path()).mkpath("ref") && QDir(tmp.path()).mkpath("salida"));
        QVERIFY(Escribir(tmp.filePath("ref/zona1.asc"), rejilla));
        QVERIFY(Escribir(tmp.filePath("zona1.asc.gz"), tesmalo::Comprimir_gzip(rejilla)));
        QCOMPARE(Lanzar({"-q", "ref/zona1.asc"}, tmp.path()).codigo, 0);
        const QByteArray esperado = Leer(tmp.filePath("ref/zona1_reestruct.txt"));
        Resultado r;
        QString destino = tmp.filePath("zona1_reestruct.txt");
        if (modo == "una") {
            r = Lanzar({"-q", "zona1.asc.gz"}, tmp.path());
        } else if (modo == "explorar") {
            r = Lanzar({"--explorar", "zona1.asc.gz"}, tmp.path());
            QCOMPARE(r.salida, QByteArray("6 401 301\n"));
            destino.clear();
        } else if (modo == "lote") {
            r = Lanzar({"-q", "-d", "salida", "zona1.asc.gz"}, tmp.path());
            destino = tmp.filePath("salida/zona1_reestruct.txt");
        } else {
            r = tesmalo::Lanzar_programa(
                "/bin/sh", {"-c", QStringLiteral(TESMALO_CLI) + " -q - destino.txt < zona1.asc.gz"},
                tmp.path());
            destino = tmp.filePath("destino.txt");
        }
        QCOMPARE(r.errores, QByteArray());
        QCOMPARE(r.codigo, 0);
        if (!destino.isEmpty()) QCOMPARE(Leer(destino), esperado);
    }

    // Un fallo sale con 1 y el mensaje del error; no deja destino y no toca el que había.
    void fallo_data() {
        QTest::addColumn<QByteArray>("origen");  // vacío: el origen no existe
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<bool>("destino_previo");
        QTest::addColumn<QString>("causa");  // parte del mensaje; vacía: cualquiera
        QTest::newRow("origen inexistente")
            << QByteArray() << QStringList{"origen.asc", "destino.txt"} << false << QString();
        QTest::newRow("origen inexistente, destino previo")
            << QByteArray() << QStringList{"origen.asc", "destino.txt"} << true << QString();
        QTest::newRow("esquina que no es un número, destino previo")
            << QByteArray(Cabecera_3x2).replace("258.000", "258m") + "1 2 3 4 5 6\n"
            << QStringList{"origen.asc", "destino.txt"} << true << QString();
        QTest::newRow("cero columnas, destino previo")
            << Cabecera_3x2 + "1 2 3 4 5 6\n"
            << QStringList{"--columnas", "0", "origen.asc", "destino.txt"} << true << QString();
        QTest::newRow("la exploración no halla valores")
            << Cabecera_3x2 << QStringList{"origen.asc", "destino.txt"} << false
            << "ninguna línea de valores";
        // Unos valores que no llenan las filas de la cabecera no dan una rejilla.
        QTest::newRow("fila incompleta al final, destino previo")
            << Cabecera_3x2 + "1 2 3 4 5\n"
            << QStringList{"origen.asc", "destino.txt"} << true
            << "dan 1 filas enteras y 2 valores de otra, y la cabecera anuncia 2 filas de 3";
        QTest::newRow("sin valores, con las tres opciones")
            << Cabecera_3x2 << QStringList{"--cabecera", "6", "--columnas", "3",
                                           "--filas",    "2", "origen.asc", "destino.txt"}
            << false << "no tiene ningún valor tras su cabecera";
        // Sin explorar, la lectura de la cabecera también dice por qué no se puede leer.
        QTest::newRow("--cabecera 6 con un origen en UTF-16")
            << QByteArray(
                   "\xff\xfen\0 \0"
                   "3\0\n\0",
                   10)
            << QStringList{"--cabecera", "6", "origen.asc", "destino.txt"} << false
            << "está en UTF-16";
        QTest::newRow("nombre de menos de cuatro caracteres")
            << Cabecera_3x2 + "1 2 3 4 5 6\n"
            << QStringList{"abc"} << false << QString();
        QTest::newRow("gzip cortado, destino previo")
            << tesmalo::Comprimir_gzip(Cabecera_3x2 + "1 2 3 4 5 6\n").chopped(4)
            << QStringList{"origen.asc", "destino.txt"} << true << "está incompleto";
        QTest::newRow("gzip dañado")
            << tesmalo::Comprimir_gzip(Cabecera_3x2 + "1 2 3 4 5 6\n").replace(12, 3, "xyz")
            << QStringList{"origen.asc", "destino.txt"} << false << "dañados";
        QTest::newRow("explorar un origen inexistente")
            << QByteArray() << QStringList{"--explorar", "origen.asc"} << false << QString();
    }
    void fallo() {
        QFETCH(QByteArray, origen);
        QFETCH(QStringList, argumentos);
        QFETCH(bool, destino_previo);
        QFETCH(QString, causa);
        QTemporaryDir tmp;
        const QString fuente = argumentos.last() == "abc" ? "abc" : "origen.asc";
        if (!origen.isEmpty()) QVERIFY(Escribir(tmp.filePath(fuente), origen));
        if (destino_previo) QVERIFY(Escribir(tmp.filePath("destino.txt"), "previo\n"));
        const QStringList antes = QDir(tmp.path()).entryList(QDir::Files);

        const Resultado r = Lanzar(argumentos, tmp.path());
        QCOMPARE(r.codigo, 1);
        QVERIFY2(r.errores.startsWith("tesmalo-cli: error: ") && r.errores.endsWith("\n") &&
                     r.errores.size() > 25,
                 r.errores.constData());
        QVERIFY2(QString::fromUtf8(r.errores).contains(causa), r.errores.constData());
        QCOMPARE(r.salida, QByteArray());
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files), antes);
        if (destino_previo) QCOMPARE(Leer(tmp.filePath("destino.txt")), QByteArray("previo\n"));
        if (!origen.isEmpty()) QCOMPARE(Leer(tmp.filePath(fuente)), origen);
    }

    // El destino no puede ser el propio origen, ni dicho con otra ruta, ni visto a través de
    // un montaje overlay, que da otro dispositivo con el mismo nodo, tamaño y hora, ni por
    // caminos en que el sistema da otro fichero: sshfs y la carpeta del servidor, otra forma
    // del nombre en una memoria FAT por FUSE (otro nodo por nombre), o la capa de arriba de un
    // fichero que se copió arriba al tocarlo (otro nodo).
    void destino_igual_al_origen_data() {
        QTest::addColumn<QString>("origen");
        QTest::addColumn<QString>("destino");
        QTest::newRow("misma ruta") << "origen.asc"
                                    << "origen.asc";
        QTest::newRow("otra ruta al mismo fichero") << "origen.asc"
                                                    << "./sub/../origen.asc";
        QTest::newRow("overlay: origen unido, destino arriba") << "ov/unido/origen.asc"
                                                               << "ov/arriba/origen.asc";
        QTest::newRow("overlay: origen arriba, destino unido") << "ov/arriba/origen.asc"
                                                               << "ov/unido/origen.asc";
        QTest::newRow("overlay: copiado arriba al tocarlo, destino arriba")
            << "ov/unido/copiado.asc"
            << "ov/arriba/copiado.asc";
        QTest::newRow("FAT por FUSE: el nombre en mayúsculas") << "fat/Src.asc"
                                                               << "fat/SRC.ASC";
        QTest::newRow("FAT por FUSE: el nombre en minúsculas") << "fat/ZONA.ASC"
                                                               << "fat/zona.asc";
        QTest::newRow("sshfs: origen por la red, destino en el servidor") << "red/src.asc"
                                                                          << "srv/src.asc";
        QTest::newRow("sshfs: origen en el servidor, destino por la red") << "srv/dos.asc"
                                                                          << "red/dos.asc";
    }
    void destino_igual_al_origen() {
        QFETCH(QString, origen);
        QFETCH(QString, destino);
        QTemporaryDir tmp;
        QVERIFY(QDir(tmp.path()).mkdir("sub") && QDir(tmp.path()).mkdir("srv"));
        const tesmalo::Montaje_overlay overlay(tmp.filePath("ov"));
        if (origen.startsWith("ov/") && !overlay.Montado())
            QSKIP("no se puede montar un overlay aquí (hace falta ser root)");
        std::optional<tesmalo::Montaje_fat> fat;
        std::optional<tesmalo::Montaje_sshfs> red;
        if (origen.startsWith("fat/")) {
            fat.emplace(tmp.filePath("fat"));
            if (!fat->Disponible()) QSKIP("sin FUSE (/dev/fuse) no se monta una memoria FAT");
            QVERIFY2(fat->Montado(), "no se pudo montar la imagen FAT con fusefat");
        }
        if (destino.startsWith("red/") || origen.startsWith("red/")) {
            red.emplace(tmp.filePath("srv"), tmp.filePath("red"), tmp.filePath("ssh"));
            if (!red->Disponible())
                QSKIP("sin root, /dev/fuse, sshd o sshfs no se monta una carpeta de red");
            QVERIFY2(red->Montado(), "no se pudo montar la carpeta por sshfs");
        }
        const QByteArray contenido = Cabecera_3x2 + "1 2 3 4 5 6\n";
        // Creado a través del montaje, el fichero vive en la capa de arriba; uno de abajo se
        // copia arriba al tocarlo por el montaje. Uno de la red se crea en el servidor.
        const QString nombre = QFileInfo(origen).fileName();
        if (nombre == "copiado.asc") {
            QVERIFY(Escribir(tmp.filePath("ov/abajo/copiado.asc"), contenido));
            QCOMPARE(tesmalo::Lanzar_programa("touch", {tmp.filePath(origen)}).codigo, 0);
        } else {
            QVERIFY(Escribir(tmp.filePath(origen.startsWith("ov/") ? "ov/unido/" + nombre
                                          : red                    ? "srv/" + nombre
                                                                   : origen),
                             contenido));
        }
        const QString carpeta = tmp.filePath(QFileInfo(destino).path());
        const QStringList antes = QDir(carpeta).entryList(QDir::Files | QDir::Hidden);
        const Resultado r = Lanzar({origen, destino}, tmp.path());
        QCOMPARE(r.codigo, 1);
        QVERIFY2(r.errores.contains("es el mismo fichero de origen"), r.errores.constData());
        if (origen.startsWith("fat/") || red || nombre == "copiado.asc")
            QVERIFY2(r.errores.contains("al que se llega por otro nombre"), r.errores.constData());
        QCOMPARE(Leer(tmp.filePath(origen)), contenido);
        if (red) QCOMPARE(Leer(tmp.filePath("srv/" + nombre)), contenido);
        if (origen.startsWith("ov/"))
            QCOMPARE(Leer(tmp.filePath("ov/arriba/" + nombre)), contenido);
        QCOMPARE(QDir(carpeta).entryList(QDir::Files | QDir::Hidden), antes);
    }

    // Argumentos que no valen: código 2, sin tocar nada.
    void error_de_uso_data() {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<QString>("texto");  // lo que el mensaje debe mostrar
        QTest::newRow("sin argumentos") << QStringList() << "falta el fichero de origen";
        QTest::newRow("opción desconocida") << QStringList{"--filtro", "origen.asc"} << "--filtro";
        QTest::newRow("opción corta desconocida") << QStringList{"-x", "origen.asc"} << "-x";
        QTest::newRow("sobra un argumento")
            << QStringList{"origen.asc", "a.txt", "b.txt"} << "«b.txt»";
        QTest::newRow("sólo opciones") << QStringList{"-q", "--filas", "3"} << "falta";
        QTest::newRow("N no es un número")
            << QStringList{"--filas", "tres", "origen.asc"} << "«tres»";
        QTest::newRow("N vacío") << QStringList{"--columnas=", "origen.asc"} << "«»";
        QTest::newRow("N fuera de 32 bits")
            << QStringList{"--cabecera", "3000000000", "origen.asc"} << "«3000000000»";
        // Un número de las opciones es un entero llano, igual con cualquier configuración
        // regional: ni decimales, ni exponente.
        QTest::newRow("N con decimales")
            << QStringList{"--cabecera", "6.5", "origen.asc"} << "«6.5»";
        QTest::newRow("N con exponente") << QStringList{"--filas", "3e2", "origen.asc"} << "«3e2»";
        QTest::newRow("falta N") << QStringList{"origen.asc", "--filas"} << "--filas";
        QTest::newRow("prefijo de varias opciones")
            << QStringList{"--c", "6", "origen.asc"} << "--cabecera";
        QTest::newRow("--explorar con destino")
            << QStringList{"--explorar", "origen.asc", "destino.txt"} << "--explorar";
        // Con «-» (la entrada estándar) como origen no hay nombre del que proponer un destino.
        QTest::newRow("- sin DESTINO") << QStringList{"-q", "-"} << "DESTINO";
    }
    void error_de_uso() {
        QFETCH(QStringList, argumentos);
        QFETCH(QString, texto);
        QTemporaryDir tmp;
        const QByteArray origen = Cabecera_3x2 + "1 2 3 4 5 6\n";
        QVERIFY(Escribir(tmp.filePath("origen.asc"), origen));
        const Resultado r = Lanzar(argumentos, tmp.path());
        QCOMPARE(r.codigo, 2);
        QVERIFY2(r.errores.startsWith("tesmalo-cli: "), r.errores.constData());
        QVERIFY(!r.errores.startsWith("tesmalo-cli: error: "));
        QVERIFY2(QString::fromUtf8(r.errores).contains(texto), r.errores.constData());
        QCOMPARE(r.salida, QByteArray());
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files), QStringList{"origen.asc"});
    }

    void ayuda_data() {
        QTest::addColumn<QString>("opcion");
        QTest::newRow("-h") << "-h";
        QTest::newRow("--ayuda") << "--ayuda";
        QTest::newRow("--help") << "--help";
    }
    void ayuda() {
        QFETCH(QString, opcion);
        const Resultado r = Lanzar({opcion});
        QCOMPARE(r.codigo, 0);
        QCOMPARE(r.errores, QByteArray());
        QVERIFY(r.salida.startsWith("Modo de empleo: tesmalo-cli [opciones] ORIGEN [DESTINO]\n"));
        for (const char* o : {"--cabecera N", "--columnas N", "--filas N", "--explorar",
                              "-q, --silencio", "-h, --ayuda"}) {
            QVERIFY2(r.salida.contains(o), o);
        }
    }

    // En un terminal, la barra se redibuja en su sitio y sólo cuando cambia el porcentaje:
    // zona1.asc tiene 301 filas, y la barra no pasa de 101 dibujos (0 % a 100 %).
    void progreso_en_terminal_data() {
        QTest::addColumn<bool>("silencio");
        QTest::newRow("con barra") << false;
        QTest::newRow("-q") << true;
    }
    void progreso_en_terminal() {
        QFETCH(bool, silencio);
        const QString script = QStandardPaths::findExecutable("script");
        if (script.isEmpty()) QSKIP("falta la orden script para simular un terminal");
        QTemporaryDir tmp;
        const QString orden =
            QString("'%1' %2 '%3/zona1.asc' '%4'")
                .arg(TESMALO_CLI, silencio ? "-q" : "", Muestras(), tmp.filePath("z.txt"));
        const Resultado r = tesmalo::Lanzar_programa(script, {"-qec", orden, "/dev/null"});
        QCOMPARE(r.codigo, 0);
        const QByteArray terminal = r.salida;
        QCOMPARE(Leer(tmp.filePath("z.txt")).count('\n'), 6 + 301);
        if (silencio) {
            QCOMPARE(terminal, QByteArray());
            return;
        }
        const qsizetype dibujos = terminal.count("\r[");
        QVERIFY2(dibujos >= 2 && dibujos <= 101, terminal.left(200).constData());
        QVERIFY(terminal.contains("] 100%"));
        QVERIFY(terminal.contains("Destino escrito: " + tmp.filePath("z.txt").toUtf8()));
    }

    // El .prj del origen (zona1.prj, también para zona1.asc.gz) va al lado del destino, con su
    // nombre y los mismos bytes; sin él, el .prj que tuviera el destino se queda, y un destino
    // que es un flujo no lleva ninguno.
    void sistema_de_coordenadas_data() {
        QTest::addColumn<QString>("origen");
        QTest::addColumn<bool>("con_prj");
        QTest::addColumn<QString>("destino");
        QTest::newRow("con .prj") << "zona1.asc" << true << "z.txt";
        QTest::newRow("sin .prj: el del destino se queda") << "zona1.asc" << false << "z.txt";
        QTest::newRow(".gz con .prj") << "zona1.asc.gz" << true << "z.txt";
        QTest::newRow("salida estándar") << "zona1.asc" << true << "-";
    }
    void sistema_de_coordenadas() {
        QFETCH(QString, origen);
        QFETCH(bool, con_prj);
        QFETCH(QString, destino);
        QTemporaryDir tmp;
        const QByteArray rejilla = Leer(Muestras() + "/zona1.asc");
        QVERIFY(Escribir(tmp.filePath(origen),
                         origen.endsWith(".gz") ? tesmalo::Comprimir_gzip(rejilla) : rejilla));
        const QByteArray prj = "PROJCS[\"ETRS89 / UTM zone 30N\"]";
        if (con_prj) QVERIFY(Escribir(tmp.filePath("zona1.prj"), prj));
        QVERIFY(Escribir(tmp.filePath("z.prj"), "anterior"));
        const Resultado r = Lanzar({"-q", origen, destino}, tmp.path());
        QCOMPARE(r.errores, QByteArray());
        QCOMPARE(r.codigo, 0);
        QCOMPARE(Leer(tmp.filePath("z.prj")),
                 con_prj && destino != "-" ? prj : QByteArray("anterior"));
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(),
                 3 + int(con_prj) - int(destino == "-"));
    }
};

QTEST_GUILESS_MAIN(Cli_test)
#include "cli_test.moc"
