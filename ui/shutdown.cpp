#include "ui/shutdown.hpp"

#include <QEventLoop>

namespace skelder::ui {

void waitForWorkToStop(AppViewModel& model) {
    model.stopAllWork();
    if (!model.isProcessing())
        return;
    QEventLoop loop;
    QObject::connect(&model, &AppViewModel::isProcessingChanged, &loop, [&] {
        if (!model.isProcessing())
            loop.quit();
    });
    loop.exec();
}

}  // namespace skelder::ui
