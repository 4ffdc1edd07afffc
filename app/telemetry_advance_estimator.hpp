#pragma once

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <thread>

#include "sync/telemetry_offset.hpp"

namespace skelder {

// What the Auto button of the timing settings learnt from a recording: the advance to set
// (only for a trusted estimate) and the sentence that says what happened.
struct TelemetryAdvanceOutcome {
    std::optional<int> milliseconds;
    QString message;
};

// The sentence for an estimate of `fileName`'s advance ("+120 ms from the engine sound of
// lap.mp4 (confidence 0.61)." or why there is none).
TelemetryAdvanceOutcome describeTelemetryAdvance(const QString& fileName,
                                                 const sync::TelemetryOffsetEstimate& estimate);

// Estimates a recording's telemetry advance from its engine sound on a thread of its own and
// reports on the thread that owns it. One estimate at a time; starting another, cancelling or
// destroying the object stops the running one (its result is never reported).
class TelemetryAdvanceEstimator : public QObject {
    Q_OBJECT

  public:
    using Estimate =
        std::function<sync::TelemetryOffsetEstimate(const std::filesystem::path&, std::stop_token)>;

    // Without `estimate`, the recording's sound and telemetry are read and compared.
    explicit TelemetryAdvanceEstimator(Estimate estimate = {}, QObject* parent = nullptr);
    ~TelemetryAdvanceEstimator() override;

    void start(const std::filesystem::path& recording);
    void cancel();
    bool isRunning() const { return running_; }

  signals:
    void runningChanged(bool running);
    void finished(const skelder::TelemetryAdvanceOutcome& outcome);

  private:
    void stopRunning();

    Estimate estimate_;
    std::jthread worker_;
    std::uint64_t generation_ = 0;  // the run whose report is still wanted
    bool running_ = false;
};

}  // namespace skelder
