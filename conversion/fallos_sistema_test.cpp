// La conversión ante cada fallo de entrada y salida, provocado en el proceso: unas operaciones
// de ficheros (sistema/ficheros.h) que hacen fallar una llamada con un código de error. Lo que
// se comprueba en cada caso: la conversión falla con la razón del sistema (o acaba bien donde el
// fallo se tolera), el destino que había sigue intacto (o es ya el nuevo) y no queda temporal.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <map>
#include <stdexcept>

#include "conversion/transformar.h"
#include "pruebas/apoyo.h"
#include "sistema/ficheros.h"
#include "sistema/razones.h"

namespace {

using tesmalo::Leer;

// Las operaciones del sistema, salvo la llamada `operacion`, que falla con `error` desde su vez
// número `vez` (desde 1) hasta la vez `hasta`. Con `error` 0, Escribir no escribe nada y
// devuelve 0. «openat O_TMPFILE» es sólo la apertura de un temporal sin nombre y «close del
// temporal», el cierre de lo abierto para escribir; «fsync» sólo lo usa la carpeta.
class Averia : public tesmalo::Operaciones_ficheros {
  public:
    Averia(QString operacion, int error, int vez)
        : operacion_(std::move(operacion)), error_(error), vez_(vez) {}
    int Disparos() const { return disparos_; }

    int Abrir_en(int carpeta, const char* nombre, int banderas, mode_t modo) override {
        if ((banderas & O_TMPFILE) == O_TMPFILE && Toca("openat O_TMPFILE")) return Fallo();
        const int fd = Operaciones_ficheros::Abrir_en(carpeta, nombre, banderas, modo);
        if (fd >= 0 && (banderas & O_ACCMODE) == O_WRONLY) escritura_ = fd;
        return fd;
    }
    int Cerrar(int fd) override {
        if (fd == escritura_ && Toca("close del temporal")) {
            Operaciones_ficheros::Cerrar(fd);
            return Fallo();
        }
        return Operaciones_ficheros::Cerrar(fd);
    }
    ssize_t Leer(int fd, void* bufer, std::size_t n) override {
        return Toca("read") ? Fallo() : Operaciones_ficheros::Leer(fd, bufer, n);
    }
    ssize_t Escribir(int fd, const void* datos, std::size_t n) override {
        if (!Toca("write")) return Operaciones_ficheros::Escribir(fd, datos, n);
        return error_ == 0 ? 0 : Fallo();
    }
    int Llevar_datos_a_disco(int fd) override {
        return Toca("fdatasync") ? Fallo() : Operaciones_ficheros::Llevar_datos_a_disco(fd);
    }
    int Llevar_a_disco(int fd) override {
        return Toca("fsync") ? Fallo() : Operaciones_ficheros::Llevar_a_disco(fd);
    }
    int Empezar_a_llevar_a_disco(int fd, off_t desde, off_t largo) override {
        return Toca("sync_file_range")
                   ? Fallo()
                   : Operaciones_ficheros::Empezar_a_llevar_a_disco(fd, desde, largo);
    }
    int Enlazar_en(int a, const char* viejo, int b, const char* nuevo, int banderas) override {
        return Toca("linkat") ? Fallo()
                              : Operaciones_ficheros::Enlazar_en(a, viejo, b, nuevo, banderas);
    }
    int Renombrar_en(int a, const char* viejo, int b, const char* nuevo) override {
        return Toca("renameat") ? Fallo() : Operaciones_ficheros::Renombrar_en(a, viejo, b, nuevo);
    }
    int Intercambiar_en(int a, const char* uno, int b, const char* otro) override {
        return Toca("renameat2") ? Fallo() : Operaciones_ficheros::Intercambiar_en(a, uno, b, otro);
    }
    int Cambiar_permisos(int fd, mode_t modo) override {
        return Toca("fchmod") ? Fallo() : Operaciones_ficheros::Cambiar_permisos(fd, modo);
    }
    int Cambiar_dueno(int fd, uid_t dueno, gid_t grupo) override {
        return Toca("fchown") ? Fallo() : Operaciones_ficheros::Cambiar_dueno(fd, dueno, grupo);
    }

  private:
    // El hilo de escritura llama a write y a sync_file_range; el resto, el de la conversión.
    bool Toca(const char* operacion) {
        if (operacion_ != QLatin1String(operacion)) return false;
        const int vez = ++vistas_;
        if (vez < vez_) return false;
        ++disparos_;
        return true;
    }
    int Fallo() const {
        errno = error_;
        return -1;
    }
    const QString operacion_;
    const int error_;
    const int vez_;
    std::atomic<int> vistas_ = 0, disparos_ = 0;
    int escritura_ = -1;
};

const QByteArray Origen =
    "ncols 3\r\nnrows 2\r\nxllcorner 258.000\r\nyllcorner 448.500\r\ncellsize 15.000\r\n"
    "nodata_value -999.000\r\n1 2 3\r\n4 5 6\r\n";

}  // namespace

class Fallos_sistema_test : public QObject {
    Q_OBJECT
    QTemporaryDir carpeta_;
    QByteArray nuevo_;  // lo que escribe la conversión sin fallos

    QString Ruta(const char* nombre) const { return carpeta_.filePath(nombre); }
    void Convertir() {
        tesmalo::Transfromar_cab(6, 3, 2, Ruta("origen.asc"), Ruta("destino.txt"),
                                 {[] {}, [](double) {}, [] {}});
    }
    // Convierte con las operaciones `averia` en lugar de las del sistema y devuelve el mensaje del
    // error, o un texto vacío si no falló; después vuelven las del sistema.
    QString Convertir_con(tesmalo::Operaciones_ficheros& averia) {
        tesmalo::Usar_sistema_ficheros(&averia);
        QString mensaje;
        try {
            Convertir();
        } catch (const std::runtime_error& e) {
            mensaje = QString::fromUtf8(e.what());
        }
        tesmalo::Usar_sistema_ficheros(nullptr);
        return mensaje;
    }

  private slots:
    void initTestCase() {
        QVERIFY(carpeta_.isValid());
        tesmalo::Escribir_fichero_prueba(Ruta("origen.asc"), Origen);
        Convertir();
        nuevo_ = Leer(Ruta("destino.txt"));
        QVERIFY(nuevo_.startsWith("ncols"));
    }
    void cleanup() { tesmalo::Usar_sistema_ficheros(nullptr); }

    void fallo_de_una_operacion_data() {
        QTest::addColumn<QString>("operacion");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("vez");
        // Lo que dice el mensaje con la razón del sistema del error; vacío: acaba bien.
        QTest::addColumn<QString>("causa");
        QTest::addColumn<int>("razon");       // el código cuya razón lleva el mensaje
        QTest::addColumn<bool>("reemplaza");  // el destino queda con el contenido nuevo
        const QString escribir = "No se puede escribir en el fichero de destino";
        const QString completar = "No se puede completar el fichero de destino";
        QTest::newRow("read EIO") << "read" << EIO << 1 << "Error al leer el fichero de origen"
                                  << EIO << false;
        QTest::newRow("read EIO al buscar el fin")
            << "read" << EIO << 2 << "Error al leer el fichero de origen" << EIO << false;
        QTest::newRow("write EIO") << "write" << EIO << 1 << escribir << EIO << false;
        QTest::newRow("write ENOSPC") << "write" << ENOSPC << 1 << escribir << ENOSPC << false;
        QTest::newRow("write que no escribe nada")
            << "write" << 0 << 1 << escribir << ENOSPC << false;
        QTest::newRow("sync_file_range EIO")
            << "sync_file_range" << EIO << 1 << escribir << EIO << false;
        QTest::newRow("sync_file_range ENOSYS, tolerado")
            << "sync_file_range" << ENOSYS << 1 << "" << 0 << true;
        QTest::newRow("fdatasync EIO") << "fdatasync" << EIO << 1 << completar << EIO << false;
        QTest::newRow("linkat EIO") << "linkat" << EIO << 1 << completar << EIO << false;
        QTest::newRow("close del temporal EIO")
            << "close del temporal" << EIO << 1 << completar << EIO << false;
        QTest::newRow("renameat EIO") << "renameat" << EIO << 1 << completar << EIO << false;
        // Tras renombrar, la carpeta se lleva a disco: si no se puede, el destino ya es el
        // nuevo, pero no se da por terminado; si el sistema de ficheros no lo admite, sí.
        QTest::newRow("fsync de la carpeta EIO")
            << "fsync" << EIO << 1 << "no se puede asegurar en el disco" << EIO << true;
        QTest::newRow("fsync de la carpeta EINVAL, tolerado")
            << "fsync" << EINVAL << 1 << "" << 0 << true;
        // Sin O_TMPFILE, el temporal tiene nombre desde el principio.
        QTest::newRow("sin O_TMPFILE") << "openat O_TMPFILE" << EOPNOTSUPP << 1 << "" << 0 << true;
        // Como en FAT: ni permisos ni dueños. No es un fallo (los permisos los copia libacl).
        QTest::newRow("fchmod ENOSYS, tolerado") << "fchmod" << ENOSYS << 1 << "" << 0 << true;
        QTest::newRow("fchown EPERM, tolerado") << "fchown" << EPERM << 1 << "" << 0 << true;
    }
    void fallo_de_una_operacion() {
        QFETCH(QString, operacion);
        QFETCH(int, error);
        QFETCH(int, vez);
        QFETCH(QString, causa);
        QFETCH(int, razon);
        QFETCH(bool, reemplaza);
        const QString destino = Ruta("destino.txt");
        QFile::remove(destino);
        tesmalo::Escribir_fichero_prueba(destino, "viejo\n");
        QVERIFY(::chmod(QFile::encodeName(destino).constData(), 0640) == 0);

        Averia averia(operacion, error, vez);
        const QString mensaje = Convertir_con(averia);

        if (operacion == "linkat" && averia.Disparos() == 0)
            QSKIP("el sistema de ficheros de la prueba no admite O_TMPFILE");
        QVERIFY2(averia.Disparos() > 0, "la operación no se llegó a llamar");
        if (causa.isEmpty()) {
            QVERIFY2(mensaje.isEmpty(), qPrintable(mensaje));
        } else {
            QVERIFY2(mensaje.contains(causa), qPrintable(mensaje));
            // El mensaje nombra el fichero en que falló.
            const QString fichero = operacion == "read" ? Ruta("origen.asc") : destino;
            QVERIFY2(mensaje.contains("«" + fichero + "»"), qPrintable(mensaje));
            if (razon != 0)
                QVERIFY2(mensaje.contains(tesmalo::Razon_del_sistema(razon)), qPrintable(mensaje));
        }
        QCOMPARE(Leer(destino), reemplaza ? nuevo_ : QByteArray("viejo\n"));
        // Ni temporales ni nada más en la carpeta.
        QCOMPARE(QDir(carpeta_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{"destino.txt", "origen.asc"}));
        // Nunca más acceso que el anterior.
        struct stat visto {};
        QVERIFY(::stat(QFile::encodeName(destino).constData(), &visto) == 0);
        QCOMPARE(visto.st_mode & 07777 & ~mode_t(0640), 0u);
    }

    // Con el .prj del origen al lado, la rejilla y su .prj se guardan juntos: un fallo en el
    // .prj, o en la rejilla después de que el .prj tomara su nombre, deja los dos anteriores
    // (o ningún .prj, si no había) y ningún temporal. La rejilla se escribe y se lleva a disco
    // antes que el .prj, y el .prj toma su nombre antes que ella.
    void fallo_con_sistema_de_coordenadas_data() {
        QTest::addColumn<QString>("operacion");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("vez");
        QTest::addColumn<bool>("habia_prj");
        QTest::addColumn<bool>("reemplaza");
        QTest::newRow("write del .prj") << "write" << EIO << 2 << true << false;
        QTest::newRow("fdatasync del .prj") << "fdatasync" << EIO << 2 << true << false;
        QTest::newRow("renameat2 del .prj") << "renameat2" << EIO << 1 << true << false;
        QTest::newRow("renameat de la rejilla tras intercambiar el .prj")
            << "renameat" << EIO << 1 << true << false;
        QTest::newRow("renameat de la rejilla tras crear el .prj")
            << "renameat" << EIO << 2 << false << false;
        // Sin intercambio (FAT, NFS), el .prj anterior se aparta y vuelve si la rejilla falla.
        QTest::newRow("renameat2 EINVAL y renameat de la rejilla")
            << "renameat2+renameat" << EIO << 3 << true << false;
        QTest::newRow("renameat2 EINVAL, tolerado") << "renameat2" << EINVAL << 1 << true << true;
    }
    void fallo_con_sistema_de_coordenadas() {
        QFETCH(QString, operacion);
        QFETCH(int, error);
        QFETCH(int, vez);
        QFETCH(bool, habia_prj);
        QFETCH(bool, reemplaza);
        const QString destino = Ruta("destino.txt"), prj = Ruta("destino.prj");
        tesmalo::Escribir_fichero_prueba(Ruta("origen.prj"), "PROJCS[\"nuevo\"]");
        QFile::remove(destino);
        QFile::remove(prj);
        tesmalo::Escribir_fichero_prueba(destino, "viejo\n");
        if (habia_prj) tesmalo::Escribir_fichero_prueba(prj, "viejo prj\n");

        // «renameat2+renameat»: renameat2 no intercambia (EINVAL) y renameat falla sólo en su
        // vez, la de la rejilla (las anteriores apartan el .prj viejo y dan nombre al nuevo).
        const bool sin_intercambio = operacion == "renameat2+renameat";
        Averia averia(sin_intercambio ? "renameat2" : operacion, sin_intercambio ? EINVAL : error,
                      sin_intercambio ? 1 : vez);
        struct Sin_intercambio : Averia {
            using Averia::Averia;
            int vez = 0, vistas = 0;
            int Renombrar_en(int a, const char* viejo, int b, const char* nuevo) override {
                if (++vistas == vez) return errno = EIO, -1;
                return Averia::Renombrar_en(a, viejo, b, nuevo);
            }
        } sin(QStringLiteral("renameat2"), EINVAL, 1);
        sin.vez = vez;
        const QString mensaje = sin_intercambio ? Convertir_con(sin) : Convertir_con(averia);
        QFile::remove(Ruta("origen.prj"));

        QVERIFY2((sin_intercambio ? sin.Disparos() : averia.Disparos()) > 0,
                 "la operación no se llegó a llamar");
        QVERIFY2(reemplaza == mensaje.isEmpty(), qPrintable(mensaje));
        QCOMPARE(Leer(destino), reemplaza ? nuevo_ : QByteArray("viejo\n"));
        QStringList quedan{"destino.txt", "origen.asc"};
        if (habia_prj || reemplaza) {
            QCOMPARE(Leer(prj), reemplaza ? QByteArray("PROJCS[\"nuevo\"]") : "viejo prj\n");
            quedan.insert(0, "destino.prj");
        }
        QCOMPARE(QDir(carpeta_.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 quedan);
        QFile::remove(prj);
    }
};

QTEST_GUILESS_MAIN(Fallos_sistema_test)
#include "fallos_sistema_test.moc"
