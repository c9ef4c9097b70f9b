// Lo que comparten las pruebas: leer y escribir un fichero de una vez, las cabeceras de ejemplo,
// la carpeta de las rejillas de muestra, lanzar un programa y montar sistemas de ficheros de
// prueba.
#pragma once

#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QtGlobal>
#include <memory>

namespace tesmalo {

// Todo el contenido del fichero, o «<no existe>» si no se puede abrir.
inline QByteArray Leer(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

// Escribe `contenido` como todo el fichero; falso si no pudo.
inline bool Escribir(const QString& ruta, const QByteArray& contenido) {
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly) && f.write(contenido) == contenido.size();
}

// `contenido` comprimido como un miembro gzip, como lo deja gzip (quien lo use enlaza zlib).
inline QByteArray Comprimir_gzip(const QByteArray& contenido) {
    z_stream flujo{};
    if (deflateInit2(&flujo, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        qFatal("no se pudo comprimir");
    QByteArray comprimido(int(deflateBound(&flujo, uLong(contenido.size()))), '\0');
    flujo.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(contenido.constData()));
    flujo.avail_in = uInt(contenido.size());
    flujo.next_out = reinterpret_cast<Bytef*>(comprimido.data());
    flujo.avail_out = uInt(comprimido.size());
    if (deflate(&flujo, Z_FINISH) != Z_STREAM_END) qFatal("no se pudo comprimir");
    comprimido.resize(qsizetype(flujo.total_out));
    deflateEnd(&flujo);
    return comprimido;
}

// Escribe un fichero de origen de una vez, o detiene la prueba si no puede.
inline void Escribir_fichero_prueba(const QString& ruta, const QByteArray& contenido) {
    if (!Escribir(ruta, contenido)) qFatal("no se pudo preparar %s", qPrintable(ruta));
}

// Una carpeta temporal con un fichero de origen, `nombre`, que cada caso reescribe: Escribir
// deja `contenido` como todo el fichero y devuelve su ruta, o detiene la prueba si no puede.
// Como carpeta temporal, da también las rutas de otros ficheros de ella. Se borra al destruirla.
class Carpeta_prueba : public QTemporaryDir {
  public:
    explicit Carpeta_prueba(const QString& nombre) : nombre_(nombre) {}
    QString Escribir(const QByteArray& contenido) const {
        const QString ruta = filePath(nombre_);
        Escribir_fichero_prueba(ruta, contenido);
        return ruta;
    }

  private:
    QString nombre_;
};

// Verdadero si `texto` es UTF-8 válido.
inline bool Es_utf8(const QByteArray& texto) {
    QStringDecoder decodificador(QStringDecoder::Utf8);
    (void)QString(decodificador(texto));
    return !decodificador.hasError();
}

// La cabecera de seis líneas de una rejilla de 401 × 301, con CRLF.
inline const QByteArray Cabecera_ejemplo =
    "ncols 401\r\nnrows 301\r\nxllcorner 258.000\r\nyllcorner 448.500\r\ncellsize 15.000\r\n"
    "nodata_value -999.000\r\n";

// La cabecera de seis líneas de una rejilla de 3 × 2, con LF, y la que escribe la conversión a
// partir de ella.
inline const QByteArray Cabecera_3x2 =
    "ncols 3\nnrows 2\nxllcorner 258.000\nyllcorner 448.500\ncellsize 15.000\n"
    "nodata_value -999.000\n";
inline const QByteArray Cabecera_escrita_3x2 =
    "ncols         3\r\nnrows         2\r\nxllcorner     258.00\r\nyllcorner     448.50\r\n"
    "cellsize      15.00\r\nnodata_value  -999\r\n";

// La carpeta de las rejillas de muestra: la que diga TESMALO_MUESTRAS (CTest la pone), o la del
// repositorio. Sólo hay que usarlas por su nombre: en ella puede quedar más.
inline QString Muestras() {
    return qEnvironmentVariable("TESMALO_MUESTRAS", QStringLiteral(TESMALO_MUESTRAS_FUENTE));
}

// Cómo acabó un programa lanzado: código -1 si no acabó solo en el tiempo dado (colgado o
// matado por una señal).
struct Resultado_proceso {
    int codigo = -1;
    QByteArray salida, errores;
};

// Lanza `programa` con `argumentos` en `carpeta` (la actual si está vacía) y espera a que acabe,
// `plazo_ms` milisegundos como mucho (un minuto, si no se dice).
inline Resultado_proceso Lanzar_programa(const QString& programa, const QStringList& argumentos,
                                         const QString& carpeta = {}, int plazo_ms = 60000) {
    QProcess p;
    if (!carpeta.isEmpty()) p.setWorkingDirectory(carpeta);
    p.start(programa, argumentos);
    Resultado_proceso r;
    if (!p.waitForFinished(plazo_ms) || p.exitStatus() != QProcess::NormalExit) return r;
    r.codigo = p.exitCode();
    r.salida = p.readAllStandardOutput();
    r.errores = p.readAllStandardError();
    return r;
}

// Verdadero si `programa` acabó solo, con 0, en 30 segundos como mucho.
inline bool Ejecutar_bien(const QString& programa, const QStringList& argumentos) {
    return Lanzar_programa(programa, argumentos, {}, 30000).codigo == 0;
}

#ifdef TESMALO_CLI
// tesmalo-cli, el compilado.
inline Resultado_proceso Lanzar(const QStringList& argumentos, const QString& carpeta = {}) {
    return Lanzar_programa(QStringLiteral(TESMALO_CLI), argumentos, carpeta);
}
#endif

// Un montaje overlay en `carpeta`: `abajo` y `arriba` son sus capas y `unido` lo que se ve a
// través de él, donde un fichero creado vive en `arriba` con el mismo número de nodo y otro
// dispositivo. Sin permiso para montar (no se es root, o el núcleo no tiene overlay), Montado()
// es falso. Se desmonta al destruirlo.
class Montaje_overlay {
  public:
    explicit Montaje_overlay(const QString& carpeta) : unido_(carpeta + "/unido") {
        for (const char* sub : {"abajo", "arriba", "trabajo", "unido"})
            if (!QDir(carpeta).mkpath(sub)) return;
        const QByteArray opciones =
            QFile::encodeName("lowerdir=" + carpeta + "/abajo,upperdir=" + carpeta +
                              "/arriba,workdir=" + carpeta + "/trabajo");
        montado_ = ::mount("overlay", QFile::encodeName(unido_).constData(), "overlay", 0,
                           opciones.constData()) == 0;
    }
    ~Montaje_overlay() {
        if (montado_) ::umount2(QFile::encodeName(unido_).constData(), MNT_DETACH);
    }
    Montaje_overlay(const Montaje_overlay&) = delete;
    Montaje_overlay& operator=(const Montaje_overlay&) = delete;
    bool Montado() const { return montado_; }

  private:
    QString unido_;
    bool montado_ = false;
};

// Una memoria FAT montada por FUSE en `carpeta`, como las que montan los escritorios y los
// teléfonos: no distingue mayúsculas de minúsculas en los nombres. Sin /dev/fuse, Disponible()
// es falso; si lo hay, Montado() dice si se montó. Se desmonta al destruirlo.
class Montaje_fat {
  public:
    explicit Montaje_fat(const QString& carpeta) : punto_(carpeta) {
        disponible_ = QFile::exists("/dev/fuse");
        const QString imagen = carpeta + ".img";
        if (!disponible_ || !QDir().mkpath(carpeta)) return;
        montado_ = Ejecutar_bien("mkfs.fat", {"-C", imagen, "4096"}) &&
                   Ejecutar_bien("fusefat", {"-o", "rw+", imagen, carpeta});
    }
    ~Montaje_fat() {
        if (montado_) Ejecutar_bien("fusermount", {"-u", punto_});
    }
    Montaje_fat(const Montaje_fat&) = delete;
    Montaje_fat& operator=(const Montaje_fat&) = delete;
    bool Disponible() const { return disponible_; }
    bool Montado() const { return montado_; }

  private:
    QString punto_;
    bool disponible_ = false, montado_ = false;
};

// La misma memoria FAT para una prueba en bash: las órdenes que la montan en «fat», en la carpeta
// en que se ejecutan, con su imagen en fat.img. Sin O_TMPFILE ni enlaces duros, y sin permisos
// ni dueños que se puedan cambiar (fchmod y fchown fallan con ENOSYS). Sin root, /dev/fuse,
// fusefat o mkfs.fat, o si no se monta, salen con 77 (la prueba se salta) diciendo por qué. Se
// desmonta con «fusermount -u fat».
inline QString Montar_fat() {
    return QStringLiteral(
        "[ $(id -u) = 0 ] && [ -c /dev/fuse ] && command -v fusefat >/dev/null && "
        "command -v mkfs.fat >/dev/null || { echo 'FAT por FUSE necesita root, /dev/fuse, "
        "fusefat y mkfs.fat' >&2; exit 77; }\n"
        "mkfs.fat -C fat.img 8192 >/dev/null; mkdir fat\n"
        "fusefat -o rw+ fat.img fat >/dev/null 2>&1 || "
        "{ echo 'fusefat no puede montar aquí' >&2; exit 77; }\n");
}

// Una carpeta de red montada con sshfs en `punto`, que lleva a la carpeta `servidor` de esta
// misma máquina, como las que montan los escritorios: un sshd propio en 127.0.0.1 (un puerto
// libre, su clave de anfitrión, su configuración y la clave del cliente autorizada, todo en
// `datos`), sin tocar el sshd del sistema ni ~/.ssh. sshfs da a cada fichero otro dispositivo
// y otro número de nodo, y la hora en segundos enteros. Sin root, /dev/fuse, sshd o sshfs,
// Disponible() es falso; si lo hay, Montado() dice si se montó. Al destruirlo se desmonta y se
// para el sshd.
class Montaje_sshfs {
  public:
    Montaje_sshfs(const QString& servidor, const QString& punto, const QString& datos)
        : punto_(punto) {
        disponible_ = ::geteuid() == 0 && QFile::exists("/dev/fuse") &&
                      QFile::exists("/usr/sbin/sshd") && QFile::exists("/usr/bin/sshfs");
        if (!disponible_ || !QDir().mkpath(punto) || !QDir().mkpath(datos)) return;
        for (const char* clave : {"anfitrion", "cliente"})
            if (!Ejecutar_bien("ssh-keygen",
                               {"-q", "-t", "ed25519", "-N", "", "-f", datos + "/" + clave}))
                return;
        if (!QFile::copy(datos + "/cliente.pub", datos + "/autorizadas")) return;
        QDir().mkpath("/run/sshd");  // la carpeta vacía que sshd exige
        for (int intento = 0; intento < 3 && !montado_; ++intento) {
            const int puerto = Puerto_libre();
            const QByteArray config = "ListenAddress 127.0.0.1\nPort " +
                                      QByteArray::number(puerto) + "\nHostKey " +
                                      QFile::encodeName(datos) +
                                      "/anfitrion\nPidFile none\n"
                                      "AuthorizedKeysFile " +
                                      QFile::encodeName(datos) +
                                      "/autorizadas\nAuthenticationMethods publickey\n"
                                      "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                                      "UsePAM no\nStrictModes no\n"
                                      "PermitRootLogin prohibit-password\n"
                                      "Subsystem sftp internal-sftp\n";
            QFile f(datos + "/sshd_config");
            if (!f.open(QIODevice::WriteOnly) || f.write(config) != config.size()) return;
            f.close();
            sshd_ = std::make_unique<QProcess>();
            sshd_->start("/usr/sbin/sshd",
                         {"-D", "-f", datos + "/sshd_config", "-E", datos + "/sshd.log"});
            if (!sshd_->waitForStarted(10000)) return;
            // Espera a que acepte conexiones, con un plazo.
            for (int i = 0; i < 100 && !montado_ && sshd_->state() == QProcess::Running; ++i) {
                montado_ = Ejecutar_bien(
                    "sshfs", {"-F", "/dev/null", "-p", QString::number(puerto), "-o",
                              "IdentityFile=" + datos +
                                  "/cliente,IdentitiesOnly=yes,"
                                  "StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,"
                                  "BatchMode=yes",
                              "root@127.0.0.1:" + servidor, punto});
                if (!montado_) QThread::msleep(50);
            }
            if (!montado_) Parar_sshd();
        }
    }
    ~Montaje_sshfs() {
        if (montado_) Ejecutar_bien("fusermount", {"-u", punto_});
        Parar_sshd();
    }
    Montaje_sshfs(const Montaje_sshfs&) = delete;
    Montaje_sshfs& operator=(const Montaje_sshfs&) = delete;
    bool Disponible() const { return disponible_; }
    bool Montado() const { return montado_; }

  private:
    static int Puerto_libre() {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t largo = sizeof a;
        int puerto = 0;
        if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &largo) == 0)
            puerto = ntohs(a.sin_port);
        if (s >= 0) ::close(s);
        return puerto;
    }
    void Parar_sshd() {
        if (!sshd_) return;
        sshd_->terminate();
        if (!sshd_->waitForFinished(10000)) sshd_->kill();
        sshd_->waitForFinished(10000);
        sshd_.reset();
    }
    QString punto_;
    std::unique_ptr<QProcess> sshd_;
    bool disponible_ = false, montado_ = false;
};

}  // namespace tesmalo
