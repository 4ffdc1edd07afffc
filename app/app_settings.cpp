#include "app/app_settings.hpp"

#include <QSettings>
#include <QVariant>
#include <cmath>
#include <initializer_list>
#include <optional>
#include <utility>

namespace skelder {
namespace {

bool isNumberType(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return true;
        default:
            return false;
    }
}

std::optional<double> storedNumber(const QVariant& value) {
    bool ok = false;
    double number = 0;
    if (isNumberType(value)) {
        number = value.toDouble(&ok);
    } else if (value.typeId() == QMetaType::QString) {
        number = value.toString().trimmed().toDouble(&ok);
    }
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

// A stored switch: a boolean, the texts "true" and "false" in any case, or the numbers 0 and 1;
// anything else is the default.
bool storedSwitch(const QVariant& value, bool fallback) {
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text.compare("true", Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare("false", Qt::CaseInsensitive) == 0)
            return false;
    }
    if (const auto number = storedNumber(value); number && (*number == 0 || *number == 1))
        return *number == 1;
    return fallback;
}

void writeSwitches(QSettings& settings,
                   std::initializer_list<std::pair<const char*, bool>> switches) {
    for (const auto& [key, on] : switches)
        settings.setValue(key, on);
    settings.sync();
}

QString startFinishLineKey(const std::string& pathKey) {
    return QString::fromUtf8(kStartFinishLineGroup) + QLatin1Char('/') +
           QString::fromStdString(pathKey);
}

}  // namespace

double readOverlayTimeOffsetMilliseconds(const QSettings& settings) {
    return storedNumber(settings.value(kOverlayTimeOffsetMillisecondsKey))
        .value_or(kDefaultOverlayTimeOffsetMilliseconds);
}

bool readOverlayTimingDebugHUDEnabled(const QSettings& settings) {
    return storedSwitch(settings.value(kOverlayTimingDebugHUDEnabledKey),
                        kDefaultOverlayTimingDebugHUDEnabled);
}

LapHudElements readLapHudElements(const QSettings& settings) {
    return {.timer = storedSwitch(settings.value(kLapTimerKey), false),
            .gap = storedSwitch(settings.value(kLapGapKey), false),
            .map = storedSwitch(settings.value(kLapMapKey), false)};
}

VideoShape readVideoShape(const QSettings& settings) {
    return {.vertical = storedSwitch(settings.value(kVerticalVideoKey), false),
            .cropFollowsBends = storedSwitch(settings.value(kCropFollowsBendsKey), false)};
}

SpeedUnit readSpeedUnit(const QSettings& settings) {
    const QVariant value = settings.value(kSpeedUnitKey);
    if (value.typeId() != QMetaType::QString)
        return kDefaultSpeedUnit;
    return speedUnitNamed(value.toString().trimmed().toStdString()).value_or(kDefaultSpeedUnit);
}

std::optional<double> readStartFinishLineSeconds(const QSettings& settings,
                                                 const std::string& pathKey) {
    return storedNumber(settings.value(startFinishLineKey(pathKey)));
}

void writeOverlayTimeOffsetMilliseconds(QSettings& settings, double milliseconds) {
    settings.setValue(kOverlayTimeOffsetMillisecondsKey, milliseconds);
    settings.sync();
}

void writeOverlayTimingDebugHUDEnabled(QSettings& settings, bool enabled) {
    settings.setValue(kOverlayTimingDebugHUDEnabledKey, enabled);
    settings.sync();
}

void writeSpeedUnit(QSettings& settings, SpeedUnit unit) {
    settings.setValue(kSpeedUnitKey, QString::fromUtf8(speedUnitName(unit)));
    settings.sync();
}

void writeLapHudElements(QSettings& settings, const LapHudElements& elements) {
    writeSwitches(
        settings,
        {{kLapTimerKey, elements.timer}, {kLapGapKey, elements.gap}, {kLapMapKey, elements.map}});
}

void writeVideoShape(QSettings& settings, const VideoShape& shape) {
    writeSwitches(settings, {{kVerticalVideoKey, shape.vertical},
                             {kCropFollowsBendsKey, shape.cropFollowsBends}});
}

void writeStartFinishLineSeconds(QSettings& settings, const std::string& pathKey,
                                 std::optional<double> seconds) {
    if (seconds)
        settings.setValue(startFinishLineKey(pathKey), *seconds);
    else
        settings.remove(startFinishLineKey(pathKey));
    settings.sync();
}

}  // namespace skelder
