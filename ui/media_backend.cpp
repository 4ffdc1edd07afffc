#include "ui/media_backend.hpp"

#include <QByteArray>
#include <QtGlobal>

namespace skelder::ui {

void preferFfmpegMediaBackend() {
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) {
        qputenv("QT_MEDIA_BACKEND", QByteArrayLiteral("ffmpeg"));
    }
}

}  // namespace skelder::ui
