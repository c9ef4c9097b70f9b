#include "toolkit/herramientas.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>
#include <QTimer>
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

// La caja de texto de Qt mide unos 33 caracteres y, con el texto elegido, enseña su final: de una
// ruta sólo se vería el nombre. Se ensancha para que quepa el texto entero (al menos 80
// caracteres, a lo sumo nueve décimos del ancho de la pantalla) y se ve desde su principio.
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
        // Qt elige todo el texto al mostrar la caja, con el cursor al final: se elige igual,
        // listo para escribir encima, pero con el cursor al principio.
        QTimer::singleShot(0, linea, [linea] {
            linea->setSelection(linea->text().size(), -linea->text().size());
        });
    }
    // Cancelar da el texto vacío, igual que confirmar la caja vaciada.
    return caja.exec() == QDialog::Accepted ? caja.textValue() : QString();
}

// En Qt «*.*» sólo casa con los nombres que llevan punto; «todos los ficheros» es «*».
QString Traducir_patron(const QString& patron) {
    return patron == u"*.*" ? QStringLiteral("*") : patron;
}

QString Elegir_fichero_qt(QWidget* padre, const QList<Filtro_fichero>& filtros, int entrada) {
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
        .Procesar_eventos = [] { QCoreApplication::processEvents(); },
        .Esperar_eventos = [] { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); },
        .Terminar_proceso = [](int estado) { std::_Exit(estado); },
    };
}

}  // namespace tesmalo

namespace tesmalo {

bool Cargar_traduccion_qt() {
    auto* traduccion = new QTranslator(QCoreApplication::instance());
    if (!traduccion->load(u"qtbase_es"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete traduccion;
        return false;
    }
    return QCoreApplication::installTranslator(traduccion);
}

}  // namespace tesmalo
