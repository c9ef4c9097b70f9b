#include "toolkit/herramientas.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QTranslator>
#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace tesmalo {
namespace {

void Mostrar_mensaje_qt(QWidget* padre, const QString& texto, const QString& titulo) {
    QMessageBox caja(QMessageBox::NoIcon, titulo, texto, QMessageBox::Ok, padre);
    caja.setTextFormat(Qt::PlainText);
    caja.exec();
}

// La caja de texto de Qt mide unos 33 caracteres: de una ruta sólo se vería el nombre. Se
// ensancha para que quepa el texto entero (al menos 80 caracteres, a lo sumo nueve décimos del
// ancho de la pantalla). Qt elige todo el texto al mostrar la caja, con el cursor al final: una
// ruta más larga que el campo se ve por su final, el nombre del fichero que se confirma.
QString Pedir_texto_qt(QWidget* padre, const QString& indicacion, const QString& titulo,
                       const QString& predeterminado) {
    QInputDialog caja(padre);
    caja.setWindowTitle(titulo);
    caja.setLabelText(indicacion);
    caja.setInputMode(QInputDialog::TextInput);
    caja.setTextValue(predeterminado);
    auto* linea = caja.findChild<QLineEdit*>();
    if (linea) {
        const QFontMetrics medida(linea->font());
        // Lo que la caja ocupa fuera del campo, más el borde y los márgenes de este.
        const int resto =
            caja.sizeHint().width() - linea->sizeHint().width() + medida.horizontalAdvance(u"MM"_s);
        const QScreen* pantalla = padre ? padre->screen() : QGuiApplication::primaryScreen();
        const int maximo = pantalla ? pantalla->availableGeometry().width() * 9 / 10 : 1 << 20;
        const int deseado = resto + std::max(medida.horizontalAdvance(predeterminado),
                                             80 * medida.averageCharWidth());
        caja.resize(std::max(caja.sizeHint().width(), std::min(deseado, maximo)),
                    caja.sizeHint().height());
    }
    // Cancelar da el texto vacío, igual que confirmar la caja vaciada.
    return caja.exec() == QDialog::Accepted ? caja.textValue() : QString();
}

// En Qt «*.*» sólo casa con los nombres que llevan punto; «todos los ficheros» es «*».
QString Traducir_patron(const QString& patron) {
    return patron == u"*.*" ? QStringLiteral("*") : patron;
}

// Mientras el selector está abierto la configuración regional por omisión es la española, sea
// cual sea la del usuario: con ella Qt escribe los tipos de fichero («documento de texto
// sencillo») y las fechas. Al cerrarse vuelve la de antes, con la que se leen los números.
class Regional_espanola {
  public:
    Regional_espanola() { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain)); }
    ~Regional_espanola() { QLocale::setDefault(anterior_); }
    Regional_espanola(const Regional_espanola&) = delete;
    Regional_espanola& operator=(const Regional_espanola&) = delete;

  private:
    const QLocale anterior_;
};

// El selector de Qt guarda en QtProject.conf, en la configuración del usuario, la última carpeta
// y su vista, y al abrirse las recupera. El programa no guarda nada entre ejecuciones: los
// ajustes de usuario de Qt van, en este proceso, a una carpeta que no puede existir (/dev/null
// no es una carpeta), así que no se leen ni se escriben.
void No_guardar_ajustes() {
    static const bool puesto = [] {
        for (const auto formato : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(formato, QSettings::UserScope, u"/dev/null/tesmalo"_s);
        return true;
    }();
    Q_UNUSED(puesto);
}

QString Elegir_fichero_qt(QWidget* padre, const QList<Filtro_fichero>& filtros, int entrada) {
    No_guardar_ajustes();
    const Regional_espanola regional;
    QFileDialog caja(padre);
    caja.setAcceptMode(QFileDialog::AcceptOpen);
    caja.setFileMode(QFileDialog::ExistingFile);
    // Con HideNameFilterDetails Qt muestra sólo lo que va antes del último paréntesis, así que
    // cada entrada se ve con su descripción aunque el patrón real sea otro («*» por «*.*»).
    caja.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    QStringList nombres;
    for (const Filtro_fichero& filtro : filtros)
        nombres << filtro.descripcion + u" ("_s + Traducir_patron(filtro.patron) + u")"_s;
    caja.setNameFilters(nombres);
    if (entrada >= 1 && entrada <= nombres.size()) caja.selectNameFilter(nombres[entrada - 1]);
    if (caja.exec() != QDialog::Accepted) return {};
    return caja.selectedFiles().value(0);
}

}  // namespace

Herramientas_ventana Herramientas_qt() {
    return {
        .Mostrar_mensaje = Mostrar_mensaje_qt,
        .Pedir_texto = Pedir_texto_qt,
        .Elegir_fichero = Elegir_fichero_qt,
        .Terminar_proceso = [](int estado) { std::_Exit(estado); },
    };
}

}  // namespace tesmalo

namespace tesmalo {

namespace {

// Lo que el selector enseña y la traducción de Qt 6.4 aún no trae. Qt busca primero en la
// última traducción instalada; lo que esta no conoce lo busca en las demás.
class Traduccion_complementaria : public QTranslator {
  public:
    using QTranslator::QTranslator;

    QString translate(const char* contexto, const char* texto, const char* desambiguacion,
                      int n) const override {
        Q_UNUSED(desambiguacion);
        Q_UNUSED(n);
        if (qstrcmp(contexto, "QAbstractFileIconProvider") != 0) return {};
        if (qstrcmp(texto, "Folder") == 0 || qstrcmp(texto, "File Folder") == 0)
            return u"Carpeta"_s;
        if (qstrcmp(texto, "Drive") == 0) return u"Unidad"_s;
        if (qstrcmp(texto, "File") == 0) return u"Fichero"_s;
        if (qstrcmp(texto, "Shortcut") == 0) return u"Acceso directo"_s;
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

bool Cargar_traduccion_qt() {
    auto* traduccion = new QTranslator(QCoreApplication::instance());
    if (!traduccion->load(u"qtbase_es"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete traduccion;
        return false;
    }
    return QCoreApplication::installTranslator(traduccion) &&
           QCoreApplication::installTranslator(
               new Traduccion_complementaria(QCoreApplication::instance()));
}

}  // namespace tesmalo
