#include "ui/settings_window.hpp"

#include <algorithm>

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "ui/system_colors.hpp"
#include "ui/telemetry_advance.hpp"
#include "ui/telemetry_advance_stepper.hpp"
#include "ui/text_styles.hpp"

namespace skelder::ui {
namespace {

QPushButton* borderedButton(const QString& title, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setAutoDefault(false);
    button->setObjectName(title);
    return button;
}

}  // namespace

SettingsWindow::SettingsWindow(QWidget* parent, TelemetryAdvanceEstimator::Estimate estimate)
    : QWidget(parent, Qt::Dialog) {
    setWindowTitle(tr("Settings"));

    stepper_ = new TelemetryAdvanceStepper(this);
    stepper_->setObjectName(QStringLiteral("telemetryAdvanceStepper"));
    stepper_->setAccessibleName(tr("Telemetry Advance"));
    connect(stepper_, &TelemetryAdvanceStepper::valueChanged, this,
            &SettingsWindow::overlayTimeOffsetMillisecondsChanged);

    auto* frameBack = borderedButton(tr("-1f"), this);
    auto* frameForward = borderedButton(tr("+1f"), this);
    auto* reset = borderedButton(tr("Reset"), this);
    connect(frameBack, &QPushButton::clicked, this,
            [this] { stepper_->setValue(telemetryAdvanceOneFrameBack(stepper_->value())); });
    connect(frameForward, &QPushButton::clicked, this,
            [this] { stepper_->setValue(telemetryAdvanceOneFrameForward(stepper_->value())); });
    connect(reset, &QPushButton::clicked, this, [this] { stepper_->setValue(0); });
    autoButton_ = borderedButton(tr("Auto"), this);
    autoButton_->setToolTip(
        tr("Measure the advance from the engine sound of the recording shown in the main window"));
    connect(autoButton_, &QPushButton::clicked, this, &SettingsWindow::startAutoAdvance);

    estimator_ = new TelemetryAdvanceEstimator(std::move(estimate), this);
    connect(estimator_, &TelemetryAdvanceEstimator::finished, this,
            &SettingsWindow::showAutoAdvance);
    connect(estimator_, &TelemetryAdvanceEstimator::runningChanged, this, [this](bool running) {
        autoButton_->setEnabled(!running);
        autoProgress_->setVisible(running);
    });

    auto* advanceRow = new QHBoxLayout;
    advanceRow->setSpacing(10);
    advanceRow->addWidget(stepper_);
    advanceRow->addWidget(frameBack);
    advanceRow->addWidget(frameForward);
    advanceRow->addWidget(reset);
    advanceRow->addWidget(autoButton_);
    advanceRow->addStretch(1);

    // While Auto listens: a busy bar; then what it found, and the value it replaced.
    autoProgress_ = new QProgressBar(this);
    autoProgress_->setRange(0, 0);
    autoProgress_->setTextVisible(false);
    autoProgress_->setMaximumHeight(6);
    autoProgress_->setVisible(false);
    autoStatus_ = new QLabel(this);
    autoStatus_->setObjectName(QStringLiteral("telemetryAdvanceAutoStatus"));
    autoStatus_->setWordWrap(true);
    autoStatus_->setVisible(false);
    previousValueButton_ = borderedButton(tr("Use Previous Value"), this);
    previousValueButton_->setVisible(false);
    connect(previousValueButton_, &QPushButton::clicked, this, [this] {
        stepper_->setValue(previousValue_);
        previousValueButton_->setVisible(false);
    });
    auto* autoRow = new QHBoxLayout;
    autoRow->addWidget(autoStatus_, 1);
    autoRow->addWidget(previousValueButton_, 0, Qt::AlignTop);

    auto* explanation = new QLabel(
        tr("Positive values make telemetry appear earlier. Negative values delay telemetry."),
        this);
    explanation->setObjectName(QStringLiteral("telemetryAdvanceExplanation"));
    explanation->setWordWrap(true);
    explanation->setFont(styledFont(font(), TextStyle::footnote));
    QPalette dimmed = explanation->palette();
    dimmed.setColor(QPalette::WindowText, secondaryColor(palette()));
    explanation->setPalette(dimmed);

    auto* alignment = new QGroupBox(tr("Telemetry Alignment"), this);
    alignment->setObjectName(QStringLiteral("telemetryAlignmentSection"));
    // A labelled row: the label, then the stepper and its buttons.
    auto* advanceLabel = new QLabel(tr("Telemetry Advance"), alignment);
    advanceLabel->setBuddy(stepper_);
    auto* labelledRow = new QHBoxLayout;
    labelledRow->setSpacing(12);
    labelledRow->addWidget(advanceLabel);
    labelledRow->addLayout(advanceRow, 1);
    auto* alignmentColumn = new QVBoxLayout(alignment);
    alignmentColumn->addLayout(labelledRow);
    alignmentColumn->addWidget(explanation);
    alignmentColumn->addWidget(autoProgress_);
    alignmentColumn->addLayout(autoRow);

    debugToggle_ = new QCheckBox(tr("Show timing debug HUD in exported highlights"), this);
    debugToggle_->setObjectName(QStringLiteral("timingDebugToggle"));
    connect(debugToggle_, &QCheckBox::toggled, this,
            &SettingsWindow::overlayTimingDebugHUDEnabledChanged);
    auto* debug = new QGroupBox(tr("Debug"), this);
    debug->setObjectName(QStringLiteral("debugSection"));
    auto* debugLayout = new QVBoxLayout(debug);
    debugLayout->addWidget(debugToggle_);

    // The unit of the HUD's speed readout and of the file list's top speed.
    speedUnitPicker_ = new QComboBox(this);
    speedUnitPicker_->setObjectName(QStringLiteral("speedUnitPicker"));
    speedUnitPicker_->setAccessibleName(tr("Speed Unit"));
    for (const SpeedUnit unit : {SpeedUnit::mph, SpeedUnit::kmh}) {
        speedUnitPicker_->addItem(QString::fromUtf8(speedUnitText(unit)),
                                  QString::fromUtf8(speedUnitName(unit)));
    }
    connect(speedUnitPicker_, &QComboBox::currentIndexChanged, this,
            [this] { emit speedUnitChanged(speedUnit()); });
    auto* unitLabel = new QLabel(tr("Speed Unit"), this);
    unitLabel->setBuddy(speedUnitPicker_);
    auto* unitRow = new QHBoxLayout;
    unitRow->setSpacing(12);
    unitRow->addWidget(unitLabel);
    unitRow->addWidget(speedUnitPicker_);
    unitRow->addStretch(1);
    auto* units = new QGroupBox(tr("Units"), this);
    units->setObjectName(QStringLiteral("unitsSection"));
    auto* unitsLayout = new QVBoxLayout(units);
    unitsLayout->addLayout(unitRow);

    // The lap elements of the HUD: off until the user turns them on.
    auto* lapsSection = new QGroupBox(tr("Laps"), this);
    lapsSection->setObjectName(QStringLiteral("lapsSection"));
    auto* lapsLayout = new QVBoxLayout(lapsSection);
    const QString lapTitles[] = {tr("Lap Timer"), tr("Gap to Best"), tr("Circuit Map")};
    for (int i = 0; i < 3; ++i) {
        lapToggles_[i] = new QCheckBox(lapTitles[i], lapsSection);
        connect(lapToggles_[i], &QCheckBox::toggled, this,
                [this] { emit lapHudElementsChanged(lapHudElements()); });
        lapsLayout->addWidget(lapToggles_[i]);
    }
    auto* lapsExplanation =
        new QLabel(tr("Shown in exports of recordings whose laps were found."), lapsSection);
    lapsExplanation->setFont(styledFont(font(), TextStyle::footnote));
    lapsExplanation->setPalette(dimmed);
    lapsLayout->addWidget(lapsExplanation);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(18);
    layout->addWidget(alignment);
    layout->addWidget(debug);
    layout->addWidget(units);
    layout->addWidget(lapsSection);
    layout->addStretch(1);
    // At least 560 wide, and wide enough for the advance row: a minimum set by hand replaces
    // the layout's own, which then squeezed the stepper until its sign was scrolled away.
    setMinimumWidth(std::max(560, layout->totalMinimumSize().width()));
}

double SettingsWindow::overlayTimeOffsetMilliseconds() const {
    return stepper_->value();
}

bool SettingsWindow::isOverlayTimingDebugHUDEnabled() const {
    return debugToggle_->isChecked();
}

SpeedUnit SettingsWindow::speedUnit() const {
    return speedUnitNamed(speedUnitPicker_->currentData().toString().toStdString())
        .value_or(kDefaultSpeedUnit);
}

LapHudElements SettingsWindow::lapHudElements() const {
    return {.timer = lapToggles_[0]->isChecked(),
            .gap = lapToggles_[1]->isChecked(),
            .map = lapToggles_[2]->isChecked()};
}

void SettingsWindow::setLapHudElements(const LapHudElements& elements) {
    // One signal for the three, after all of them are set.
    const LapHudElements before = lapHudElements();
    for (QCheckBox* toggle : lapToggles_)
        toggle->blockSignals(true);
    lapToggles_[0]->setChecked(elements.timer);
    lapToggles_[1]->setChecked(elements.gap);
    lapToggles_[2]->setChecked(elements.map);
    for (QCheckBox* toggle : lapToggles_)
        toggle->blockSignals(false);
    if (lapHudElements() != before)
        emit lapHudElementsChanged(lapHudElements());
}

void SettingsWindow::setOverlayTimeOffsetMilliseconds(double milliseconds) {
    stepper_->setValue(milliseconds);
}

void SettingsWindow::setOverlayTimingDebugHUDEnabled(bool enabled) {
    debugToggle_->setChecked(enabled);
}

void SettingsWindow::setSpeedUnit(SpeedUnit unit) {
    speedUnitPicker_->setCurrentIndex(
        speedUnitPicker_->findData(QString::fromUtf8(speedUnitName(unit))));
}

void SettingsWindow::startAutoAdvance() {
    previousValueButton_->setVisible(false);
    autoStatus_->setVisible(true);
    const auto recording = shownRecording_ ? shownRecording_() : std::nullopt;
    if (!recording) {
        autoStatus_->setText(
            tr("Select a recording in the main window first: Auto listens to "
               "its engine sound."));
        return;
    }
    autoStatus_->setText(tr("Listening to the engine sound of %1\u2026")
                             .arg(QString::fromStdString(recording->filename().string())));
    estimator_->start(*recording);
}

void SettingsWindow::showAutoAdvance(const TelemetryAdvanceOutcome& outcome) {
    autoStatus_->setVisible(true);
    if (!outcome.milliseconds) {
        autoStatus_->setText(outcome.message);
        return;
    }
    previousValue_ = stepper_->value();
    stepper_->setValue(*outcome.milliseconds);
    autoStatus_->setText(
        outcome.message + QLatin1Char(' ') +
        tr("It was %1.").arg(QString::fromStdString(telemetryAdvanceText(previousValue_))));
    previousValueButton_->setVisible(stepper_->value() != previousValue_);
}

}  // namespace skelder::ui
