#include "ui/settings_window.hpp"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
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

SettingsWindow::SettingsWindow(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(tr("Settings"));
    setMinimumWidth(560);

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

    auto* advanceRow = new QHBoxLayout;
    advanceRow->setSpacing(10);
    advanceRow->addWidget(stepper_);
    advanceRow->addWidget(frameBack);
    advanceRow->addWidget(frameForward);
    advanceRow->addWidget(reset);
    advanceRow->addStretch(1);

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

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(18);
    layout->addWidget(alignment);
    layout->addWidget(debug);
    layout->addWidget(units);
    layout->addStretch(1);
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

}  // namespace skelder::ui
