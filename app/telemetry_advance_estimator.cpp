#include "app/telemetry_advance_estimator.hpp"

#include <QMetaObject>

#include <cmath>

#include "core/cancellation.hpp"
#include "export/error_description.hpp"

namespace skelder {

TelemetryAdvanceOutcome describeTelemetryAdvance(const QString& fileName,
                                                 const sync::TelemetryOffsetEstimate& estimate) {
    if (!estimate.offsetMilliseconds) {
        const std::string reason =
            estimate.noEstimateReason ? sync::noEstimateText(*estimate.noEstimateReason) : "";
        return {std::nullopt, QStringLiteral("No estimate for %1: %2.")
                                  .arg(fileName, QString::fromStdString(reason))};
    }
    const int milliseconds = static_cast<int>(std::lround(*estimate.offsetMilliseconds));
    // "+120 ms", "-80 ms", as the stepper writes it.
    const QString signedValue = QStringLiteral("%1%2 ms")
                                    .arg(milliseconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                                    .arg(std::abs(milliseconds));
    const QString confidence = QString::number(estimate.confidence, 'f', 2);
    if (!estimate.trusted) {
        return {std::nullopt,
                QStringLiteral("No reliable estimate for %1: the best match, %2, has confidence "
                               "%3 (%4 needed). The setting is unchanged.")
                    .arg(fileName, signedValue, confidence,
                         QString::number(sync::kTrustedConfidence, 'f', 2))};
    }
    return {milliseconds, QStringLiteral("%1 from the engine sound of %2 (confidence %3).")
                              .arg(signedValue, fileName, confidence)};
}

TelemetryAdvanceEstimator::TelemetryAdvanceEstimator(Estimate estimate, QObject* parent)
    : QObject(parent), estimate_(std::move(estimate)) {
    if (!estimate_) {
        estimate_ = [](const std::filesystem::path& recording, std::stop_token stop) {
            return sync::estimateTelemetryOffset(recording, {}, std::move(stop));
        };
    }
}

TelemetryAdvanceEstimator::~TelemetryAdvanceEstimator() {
    // The estimate checks its stop often: the join is short.
    stopRunning();
}

void TelemetryAdvanceEstimator::stopRunning() {
    ++generation_;
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
    if (running_) {
        running_ = false;
        emit runningChanged(false);
    }
}

void TelemetryAdvanceEstimator::cancel() {
    stopRunning();
}

void TelemetryAdvanceEstimator::start(const std::filesystem::path& recording) {
    stopRunning();
    const std::uint64_t generation = generation_;
    running_ = true;
    emit runningChanged(true);
    worker_ =
        std::jthread([this, generation, recording, estimate = estimate_](std::stop_token stop) {
            const QString name = QString::fromStdString(recording.filename().string());
            TelemetryAdvanceOutcome outcome;
            try {
                outcome = describeTelemetryAdvance(name, estimate(recording, stop));
            } catch (const CancellationError&) {
                return;
            } catch (const std::exception& error) {
                outcome = {std::nullopt,
                           QStringLiteral("No estimate for %1: %2")
                               .arg(name, QString::fromStdString(errorDescription(error)))};
            }
            // Queued to the owner's thread. The owner joins this thread before it goes, and its
            // events still queued go with it.
            QMetaObject::invokeMethod(
                this,
                [this, generation, outcome] {
                    if (generation != generation_)
                        return;
                    if (worker_.joinable())
                        worker_.join();
                    running_ = false;
                    emit runningChanged(false);
                    emit finished(outcome);
                },
                Qt::QueuedConnection);
        });
}

}  // namespace skelder
