#include "dialog/trabajo_en_hilo.h"

#include <QMetaObject>

namespace tesmalo {

Trabajo_en_hilo::Trabajo_en_hilo(QObject* ventana) : ventana_(ventana), obrero_(new QObject) {
    hilo_.setObjectName(QStringLiteral("tesmalo-trabajo"));
    obrero_->moveToThread(&hilo_);
}

Trabajo_en_hilo::~Trabajo_en_hilo() {
    hilo_.quit();
    hilo_.wait();
    delete obrero_;  // su hilo ya acabó
}

void Trabajo_en_hilo::Correr(std::function<void()> tarea,
                             std::function<void(std::exception_ptr)> al_acabar) {
    if (!hilo_.isRunning()) hilo_.start();
    QMetaObject::invokeMethod(
        obrero_,
        [this, tarea = std::move(tarea), al_acabar = std::move(al_acabar)] {
            std::exception_ptr error;
            try {
                tarea();
            } catch (...) {
                error = std::current_exception();
            }
            Avisar([al_acabar, error] { al_acabar(error); });
        },
        Qt::QueuedConnection);
}

void Trabajo_en_hilo::Avisar(std::function<void()> aviso) {
    QMetaObject::invokeMethod(ventana_, std::move(aviso), Qt::QueuedConnection);
}

}  // namespace tesmalo
