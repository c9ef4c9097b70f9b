#include "toolkit/herramientas.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QStringList>
#include <QTranslator>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace tesmalo {
namespace {

void Mostrar_mensaje_qt(QWidget* padre, const QString& texto, const QString& titulo) {
    QMessageBox caja(QMessageBox::NoIcon, titulo, texto, QMessageBox::Ok, padre);
    caja.setTextFormat(Qt::PlainText);
    caja.exec();
}

QString Pedir_texto_qt(QWidget* padre, const QString& indicacion, const QString& titulo,
                       const QString& predeterminado) {
    bool aceptado = false;
    const QString texto = QInputDialog::getText(padre, titulo, indicacion, QLineEdit::Normal,
                                                predeterminado, &aceptado);
    // Cancelar da el texto vacío, igual que confirmar la caja vaciada.
    return aceptado ? texto : QString();
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
