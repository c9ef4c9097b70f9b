#include "fuzz/apoyo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

#include "conversion/escaner.h"

namespace tesmalo::fuzz {

void Elegir_escaner() {
    if (const std::string simd = Forzar_escaner_del_entorno(); !simd.empty()) {
        std::fprintf(stderr, "Este procesador no puede usar el escáner %s.\n", simd.c_str());
        std::exit(200);
    }
    const std::string_view nombre = Nombre_escaner();
    std::fprintf(stderr, "Escáner: %.*s\n", int(nombre.size()), nombre.data());
}

const QString& Carpeta() {
    static QTemporaryDir temporal(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                      ? QStringLiteral("/dev/shm/tesmalo-fuzz-XXXXXX")
                                      : QDir::tempPath() + QStringLiteral("/tesmalo-fuzz-XXXXXX"));
    static const QString ruta = temporal.path();
    if (!temporal.isValid()) {
        std::fprintf(stderr, "no se pudo crear la carpeta temporal\n");
        std::abort();
    }
    return ruta;
}

QString Ruta(const QString& nombre) {
    return Carpeta() + QLatin1Char('/') + nombre;
}

void Vaciar_carpeta() {
    QDir carpeta(Carpeta());
    for (const QString& nombre : carpeta.entryList(QDir::Files | QDir::Hidden | QDir::System))
        carpeta.remove(nombre);
}

QStringList Ficheros() {
    return QDir(Carpeta()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void Escribir_fichero(const QString& ruta, std::string_view bytes) {
    QFile f(ruta);
    Exigir(f.open(QIODevice::WriteOnly) &&
               f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()),
           "no se pudo escribir un fichero de prueba", ruta);
}

QByteArray Leer_fichero(const QString& ruta) {
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<no existe>");
}

void Exigir(bool condicion, const char* que, const QString& detalle) {
    if (condicion) return;
    std::fprintf(stderr, "\nPROPIEDAD INCUMPLIDA: %s\n%s\n", que, detalle.toUtf8().constData());
    std::abort();
}

bool Es_utf8(std::string_view texto) {
    auto decodificador = QStringDecoder(QStringDecoder::Utf8);
    (void)QString(decodificador(QByteArrayView(texto.data(), qsizetype(texto.size()))));
    return !decodificador.hasError();
}

}  // namespace tesmalo::fuzz
