// The application's windows: the settings window belongs to the main window.

#include <QCheckBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.hpp"
#include "ui/detail_pane_view.hpp"
#include "ui/main_window.hpp"
#include "ui/settings_window.hpp"
#include "ui/skelder_app.hpp"

namespace skelder::ui {
namespace {

TEST(SkelderApp, TheSettingsWindowStaysWithTheMainWindowAndGoesWithIt) {
    // The application reads and writes the user's settings; these are the test's own. The
    // settings' folder is fixed once the application exists (a changed XDG_CONFIG_HOME came too
    // late and the test wrote the user's own file), so it is moved with setPath.
    const testing::TempDir config;
    const QString userConfig =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(config.path().string()));
    SkelderApp app;
    EXPECT_EQ(app.settingsWindow().parentWidget(), &app.mainWindow());
    EXPECT_TRUE(app.settingsWindow().isWindow());

    app.mainWindow().show();
    app.showSettings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.settingsWindow()));
    // The lap switches and the frame's shape go to the model and come back from it.
    app.settingsWindow().lapMapToggle()->click();
    EXPECT_EQ(app.model().lapHudElements(), LapHudElements{.map = true});
    app.model().setLapHudElements({.timer = true});
    EXPECT_EQ(app.settingsWindow().lapHudElements(), LapHudElements{.timer = true});
    DetailPaneView* pane = app.mainWindow().detailPane();
    EXPECT_FALSE(pane->cropFollowToggle()->isEnabled());
    pane->verticalToggle()->click();
    EXPECT_EQ(app.model().videoShape(), VideoShape{.vertical = true});
    EXPECT_TRUE(pane->cropFollowToggle()->isEnabled());
    app.model().setSelectedMode(ProcessingMode::hudLayer);
    EXPECT_FALSE(pane->verticalToggle()->isEnabled());
    EXPECT_TRUE(app.mainWindow().close());
    EXPECT_FALSE(app.settingsWindow().isVisible());

    // Quitting with nothing running returns at once.
    app.shutDown();
    EXPECT_FALSE(app.model().isProcessing());
    EXPECT_TRUE(std::filesystem::exists(config / "Skelder" / "Skelder.conf"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, userConfig);
}

}  // namespace
}  // namespace skelder::ui
