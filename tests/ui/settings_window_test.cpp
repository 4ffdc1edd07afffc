#include "ui/settings_window.hpp"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.hpp"
#include "ui/detail_pane_view.hpp"
#include "ui/main_window.hpp"
#include "ui/skelder_app.hpp"
#include "ui/telemetry_advance.hpp"
#include "ui/telemetry_advance_stepper.hpp"

namespace skelder::ui {
namespace {

TEST(TelemetryAdvance, WholeSignedMillisecondsAndStepsWithinTheRange) {
    EXPECT_EQ(telemetryAdvanceText(0), "+0 ms");
    EXPECT_EQ(telemetryAdvanceText(650), "+650 ms");
    EXPECT_EQ(telemetryAdvanceText(-1000.0 / 30), "-33 ms");
    EXPECT_EQ(telemetryAdvanceText(-1500), "-1500 ms");
    EXPECT_EQ(telemetryAdvanceText(-0.2), "+0 ms");  // never "-0 ms"
    EXPECT_EQ(telemetryAdvanceText(-0.0), "+0 ms");
    // Frame steps and ten-millisecond steps stop at the ends of the range.
    EXPECT_EQ(telemetryAdvanceOneFrameBack(-1490), -1500);
    EXPECT_EQ(telemetryAdvanceOneFrameForward(1490), 1500);
    double offset = 0;
    for (int i = 0; i < 3; ++i)
        offset = telemetryAdvanceOneFrameForward(offset);
    EXPECT_NEAR(offset, 100, 1e-9);
    EXPECT_EQ(telemetryAdvanceText(offset), "+100 ms");
    EXPECT_EQ(steppedTelemetryAdvance(1495, 1), 1500);
    EXPECT_EQ(steppedTelemetryAdvance(-1495, -1), -1500);
    EXPECT_EQ(steppedTelemetryAdvance(650, -3), 620);
}

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        stepper = window.findChild<TelemetryAdvanceStepper*>();
        ASSERT_NE(stepper, nullptr);
    }

    QPushButton* button(const QString& title) {
        for (auto* candidate : window.findChildren<QPushButton*>()) {
            if (candidate->text() == title)
                return candidate;
        }
        ADD_FAILURE() << "no button " << title.toStdString();
        return nullptr;
    }

    QString stepperText() const {
        return QAccessible::queryAccessibleInterface(stepper)->text(QAccessible::Value);
    }

    SettingsWindow window;
    TelemetryAdvanceStepper* stepper = nullptr;
};

TEST_F(SettingsWindowTest, TheAdvanceRowShowsItsLabelBesideTheStepper) {
    // A form layout once squeezed the label to nothing: it is shown in full, left of the
    // stepper.
    const QLabel* label = nullptr;
    for (auto* candidate : window.findChildren<QLabel*>()) {
        if (candidate->buddy() == stepper)
            label = candidate;
    }
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    EXPECT_GE(label->width(), label->sizeHint().width());
    EXPECT_LT(label->mapTo(&window, QPoint(0, 0)).x(), stepper->mapTo(&window, QPoint(0, 0)).x());
    // With the Auto button the row needs more than 560 points: the window widens rather than
    // squeezing the stepper until "+650 ms" loses its sign.
    EXPECT_GE(window.width(), 560);
    EXPECT_GE(stepper->width(), stepper->minimumSizeHint().width());
    for (auto* button : window.findChildren<QPushButton*>()) {
        if (button->isVisible()) {
            EXPECT_GE(button->width(), button->minimumSizeHint().width())
                << button->text().toStdString();
        }
    }
}

TEST_F(SettingsWindowTest, TheStepperFrameButtonsResetAndDebugToggleReportTheirValues) {
    QSignalSpy changes(&window, &SettingsWindow::overlayTimeOffsetMillisecondsChanged);
    window.setOverlayTimeOffsetMilliseconds(650);
    EXPECT_EQ(stepperText(), "+650 ms");

    stepper->stepUp();
    EXPECT_EQ(window.overlayTimeOffsetMilliseconds(), 660);
    QTest::keyClick(stepper, Qt::Key_Down);
    QTest::keyClick(stepper, Qt::Key_Down);
    EXPECT_EQ(window.overlayTimeOffsetMilliseconds(), 640);
    EXPECT_EQ(stepperText(), "+640 ms");
    ASSERT_EQ(changes.count(), 4);
    EXPECT_EQ(changes.last().first().toDouble(), 640);

    window.setOverlayTimeOffsetMilliseconds(1495);
    stepper->stepUp();
    EXPECT_EQ(window.overlayTimeOffsetMilliseconds(), 1500);
    EXPECT_FALSE(stepper->stepEnabled() & QAbstractSpinBox::StepUpEnabled);
    window.setOverlayTimeOffsetMilliseconds(0);
    QTest::mouseClick(button("+1f"), Qt::LeftButton);
    EXPECT_EQ(stepperText(), "+33 ms");
    QTest::mouseClick(button("-1f"), Qt::LeftButton);
    QTest::mouseClick(button("-1f"), Qt::LeftButton);
    EXPECT_EQ(stepperText(), "-33 ms");

    changes.clear();
    QTest::mouseClick(button("Reset"), Qt::LeftButton);
    EXPECT_EQ(window.overlayTimeOffsetMilliseconds(), 0);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.first().first().toDouble(), 0);

    // The debug toggle reports its state.
    QSignalSpy toggles(&window, &SettingsWindow::overlayTimingDebugHUDEnabledChanged);
    auto* toggle = window.findChild<QCheckBox*>();
    // On the box itself: the check box spans the window, its label only the left part.
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(8, toggle->height() / 2));
    EXPECT_TRUE(window.isOverlayTimingDebugHUDEnabled());
    window.setOverlayTimingDebugHUDEnabled(false);
    EXPECT_FALSE(toggle->isChecked());
    ASSERT_EQ(toggles.count(), 2);
    EXPECT_TRUE(toggles.at(0).first().toBool());
    EXPECT_FALSE(toggles.at(1).first().toBool());
}

TEST_F(SettingsWindowTest, TheSpeedUnitPickerOffersMilesAndKilometresPerHour) {
    auto* picker = window.findChild<QComboBox*>(QStringLiteral("speedUnitPicker"));
    ASSERT_NE(picker, nullptr);
    ASSERT_EQ(picker->count(), 2);
    EXPECT_EQ(picker->itemText(0), "mph");
    EXPECT_EQ(picker->itemText(1), "km/h");
    EXPECT_EQ(window.speedUnit(), SpeedUnit::mph);
    std::vector<SpeedUnit> reported;
    QObject::connect(&window, &SettingsWindow::speedUnitChanged,
                     [&](SpeedUnit unit) { reported.push_back(unit); });
    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);  // as the user picks the next entry
    EXPECT_EQ(window.speedUnit(), SpeedUnit::kmh);
    window.setSpeedUnit(SpeedUnit::kmh);  // unchanged: no report
    window.setSpeedUnit(SpeedUnit::mph);
    EXPECT_EQ(picker->currentText(), "mph");
    EXPECT_EQ(reported, (std::vector<SpeedUnit>{SpeedUnit::kmh, SpeedUnit::mph}));
}

// The three lap switches are off by default; a click reports all three, setting them from the
// model reports once.
TEST_F(SettingsWindowTest, TheLapSwitchesReportWhatIsOn) {
    EXPECT_EQ(window.lapHudElements(), LapHudElements{});
    EXPECT_EQ(window.lapTimerToggle()->text(), "Lap Timer");
    EXPECT_EQ(window.lapGapToggle()->text(), "Gap to Best");
    EXPECT_EQ(window.lapMapToggle()->text(), "Circuit Map");
    std::vector<LapHudElements> reported;
    QObject::connect(&window, &SettingsWindow::lapHudElementsChanged,
                     [&](const LapHudElements& elements) { reported.push_back(elements); });
    QCheckBox* gap = window.lapGapToggle();
    QTest::mouseClick(gap, Qt::LeftButton, {}, QPoint(8, gap->height() / 2));
    window.setLapHudElements({.timer = true, .map = true});
    window.setLapHudElements({.timer = true, .map = true});
    EXPECT_EQ(reported, (std::vector<LapHudElements>{{.gap = true}, {.timer = true, .map = true}}));
}

// Auto with a stand-in for the recording's sound: what it finds, and what the window does.
class AutoAdvanceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window.setShownRecording([this] { return shown; });
        window.setOverlayTimeOffsetMilliseconds(650);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void clickAutoAndWait() {
        QTest::mouseClick(window.autoButton(), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.autoButton()->isEnabled(); }, 5000));
    }

    sync::TelemetryOffsetEstimate found;
    std::vector<std::filesystem::path> asked;
    std::optional<std::filesystem::path> shown = std::filesystem::path("/rec/lap 1.mp4");
    SettingsWindow window{nullptr, [this](const std::filesystem::path& recording, std::stop_token) {
                              asked.push_back(recording);
                              return found;
                          }};
};

TEST_F(AutoAdvanceTest, ATrustedEstimateSetsTheAdvanceAndOffersThePreviousValue) {
    found = {
        .offsetMilliseconds = -123.4, .confidence = 0.61, .trusted = true, .noEstimateReason = {}};
    QSignalSpy changes(&window, &SettingsWindow::overlayTimeOffsetMillisecondsChanged);
    clickAutoAndWait();
    EXPECT_EQ(asked, (std::vector<std::filesystem::path>{"/rec/lap 1.mp4"}));
    EXPECT_EQ(window.overlayTimeOffsetMilliseconds(), -123);
    EXPECT_EQ(window.autoStatus()->text(),
              "-123 ms from the engine sound of lap 1.mp4 (confidence 0.61). It was +650 ms.");
    EXPECT_FALSE(window.autoProgress()->isVisible());
    ASSERT_TRUE(window.previousValueButton()->isVisible());
    QTest::mouseClick(window.previousValueButton(), Qt::LeftButton);
    EXPECT_EQ(window.overlayTimeOffsetMilliseconds(), 650);
    EXPECT_FALSE(window.previousValueButton()->isVisible());
    ASSERT_EQ(changes.count(), 2);  // both reach the owner, which stores them
}

TEST_F(AutoAdvanceTest, WithoutATrustedEstimateTheAdvanceStaysAndTheWindowSaysWhy) {
    found = {.offsetMilliseconds = 80, .confidence = 0.12, .noEstimateReason = {}};
    clickAutoAndWait();
    EXPECT_EQ(window.overlayTimeOffsetMilliseconds(), 650);
    EXPECT_EQ(window.autoStatus()->text(),
              "No reliable estimate for lap 1.mp4: the best match, +80 ms, has confidence 0.12 "
              "(0.25 needed). The setting is unchanged.");
    EXPECT_FALSE(window.previousValueButton()->isVisible());

    found = {.offsetMilliseconds = {}, .noEstimateReason = sync::NoEstimateReason::noAudio};
    clickAutoAndWait();
    EXPECT_EQ(window.autoStatus()->text(),
              QString::fromStdString("No estimate for lap 1.mp4: " +
                                     sync::noEstimateText(sync::NoEstimateReason::noAudio) + "."));

    shown.reset();
    asked.clear();
    QTest::mouseClick(window.autoButton(), Qt::LeftButton);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(window.autoStatus()->text(),
              "Select a recording in the main window first: Auto listens to its engine sound.");
    EXPECT_EQ(window.overlayTimeOffsetMilliseconds(), 650);
}

// The settings window belongs to the main window: it stays with it and goes with it.
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
