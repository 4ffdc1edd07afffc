#include "ui/reveal_in_file_manager.hpp"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QStringList>
#include <QUrl>

namespace skelder::ui {

void revealInFileManager(const std::vector<std::filesystem::path>& files) {
    if (files.empty())
        return;
    QStringList uris;
    for (const auto& file : files)
        uris << QUrl::fromLocalFile(QString::fromStdString(file.string())).toString();
    QDBusInterface fileManager(QStringLiteral("org.freedesktop.FileManager1"),
                               QStringLiteral("/org/freedesktop/FileManager1"),
                               QStringLiteral("org.freedesktop.FileManager1"),
                               QDBusConnection::sessionBus());
    if (fileManager.isValid()) {
        const QDBusMessage reply = fileManager.call(QStringLiteral("ShowItems"), uris, QString());
        if (reply.type() != QDBusMessage::ErrorMessage)
            return;
    }
    QDesktopServices::openUrl(
        QUrl::fromLocalFile(QString::fromStdString(files.front().parent_path().string())));
}

}  // namespace skelder::ui
