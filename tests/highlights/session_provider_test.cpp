#include "highlights/session_provider.hpp"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "core/cancellation.hpp"
#include "highlights/session_building.hpp"
#include "highlights/session_key.hpp"
#include "highlights/tiers.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::Pair;
using testing::TempDir;
using ::testing::UnorderedElementsAreArray;

constexpr auto kStrict = HighlightFilterMode::onlyBest;
constexpr auto kLenient = HighlightFilterMode::maybeInteresting;

// Two minutes of driving: light cruising with a hard corner, a medium corner, a gentle corner
// and a full-throttle run; enough for both plans to select something.
ParsedTelemetryData drive(const std::filesystem::path& url) {
    ParsedTelemetryData data;
    data.inputURL = url;
    data.fileSizeBytes = 777;
    for (std::int64_t second = 0; second < 120; ++second) {
        FeatureBucket bucket{.speedMaxMps = 30,
                             .throttleMax = 0.4 + 0.05 * static_cast<double>(second % 3),
                             .rpmMax = 4000,
                             .latAbsMaxG = 0.2,
                             .lonAbsMaxG = 0.1};
        if (second >= 20 && second <= 25)
            bucket.latAbsMaxG = 1.3;
        if (second >= 60 && second <= 63)
            bucket.latAbsMaxG = 0.7;
        if (second >= 40 && second <= 43) {  // too gentle for the strict plan
            bucket.latAbsMaxG = 0.34;
            bucket.brakeMax = 0.5;
        }
        if (second >= 90 && second <= 95)
            bucket.throttleMax = 1.0;
        data.contiguousBuckets.push_back({second, bucket});
    }
    data.overlaySamplesByDecisecond =
        DecisecondGrid(0, std::vector<OverlayTelemetrySample>(1200, {.speedMps = 30}));
    return data;
}

// Counts extractions; each call returns the drive or throws what `fail` throws.
class FakeExtractor : public TelemetryExtractionService {
  public:
    ParsedTelemetryData extractTelemetry(const std::filesystem::path& url, bool buckets,
                                         bool timing, std::stop_token) const override {
        ++calls;
        askedForBucketsAndTiming = buckets && timing;
        workerNiceness = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
        if (beforeReturning)
            beforeReturning();
        return drive(url);
    }

    mutable std::atomic<int> calls{0};
    mutable std::atomic<bool> askedForBucketsAndTiming{false};
    mutable std::atomic<int> workerNiceness{0};
    std::function<void()> beforeReturning;
};

class SessionProvider : public ::testing::Test {
  protected:
    void SetUp() override {
        file = dir / "lap.mp4";
        testing::writeFile(file, std::vector<std::uint8_t>(100, 1));
    }

    TelemetrySession expected(HighlightFilterMode mode) const {
        return buildTelemetrySession(drive(file), mode);
    }

    void touch(const std::filesystem::path& path, time_t seconds) {
        const timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    TempDir dir;
    std::filesystem::path file;
    std::shared_ptr<FakeExtractor> extractor = std::make_shared<FakeExtractor>();
    std::shared_ptr<TelemetrySessionCache> cache = std::make_shared<TelemetrySessionCache>();
    TelemetrySessionProvider provider{extractor, cache};
};

TEST_F(SessionProvider, BuildsTheSessionOnceAndThenServesItFromTheCache) {
    const TelemetrySession first = provider.loadSession(file, kStrict, {});
    const TelemetrySession want = expected(kStrict);
    EXPECT_EQ(first.inputURL, file);
    EXPECT_EQ(first.fileSizeBytes, 777u);
    EXPECT_THROW(TelemetrySessionProvider(nullptr, cache), std::invalid_argument);
    ASSERT_FALSE(first.highlightSegments.empty());
    EXPECT_EQ(first.highlightSegments, want.highlightSegments);
    EXPECT_EQ(first.highlightSegmentLines, want.highlightSegmentLines);
    EXPECT_EQ(first.overlaySamplesByDecisecond->size(), 1200u);
    EXPECT_TRUE(extractor->askedForBucketsAndTiming);

    const TelemetrySession second = provider.loadSession(file, kStrict, {});
    EXPECT_EQ(extractor->calls, 1);
    EXPECT_EQ(second.highlightSegments, first.highlightSegments);
    EXPECT_EQ(second.overlaySamplesByDecisecond, first.overlaySamplesByDecisecond);
    EXPECT_THAT(cache->insertionOrder(), ElementsAre(telemetrySessionKey(file, kStrict)));
}

TEST_F(SessionProvider, ATouchedFileMissesTheCache) {
    touch(file, 1600000000);
    provider.loadSession(file, kStrict, {});
    touch(file, 1600000100);
    provider.loadSession(file, kStrict, {});
    EXPECT_EQ(extractor->calls, 2);
    // The old session stays until it is evicted.
    EXPECT_EQ(cache->size(), 2u);
    provider.loadSession(file, kStrict, {});
    EXPECT_EQ(extractor->calls, 2);
}

TEST_F(SessionProvider, ATieredRequestExtractsOnceAndFillsBothEntries) {
    const TieredTelemetrySession tiered = provider.loadTieredSession(file, kLenient, {});
    EXPECT_EQ(extractor->calls, 1);
    EXPECT_THAT(cache->insertionOrder(), ElementsAre(telemetrySessionKey(file, kLenient),
                                                     telemetrySessionKey(file, kStrict)));
    const TieredTelemetrySession want = mergeTieredSegments(expected(kLenient), expected(kStrict));
    EXPECT_EQ(tiered.session.highlightSegments, want.session.highlightSegments);
    EXPECT_EQ(tiered.session.highlightSegmentLines, want.session.highlightSegmentLines);
    EXPECT_THAT(tiered.tiers, UnorderedElementsAreArray(want.tiers));
    // The drive has a stretch only the lenient plan finds.
    EXPECT_GT(want.session.highlightSegments.size(), expected(kStrict).highlightSegments.size());

    // Both sessions and the merge now come from the cache.
    EXPECT_EQ(provider.loadSession(file, kStrict, {}).highlightSegments,
              expected(kStrict).highlightSegments);
    provider.loadSession(file, kLenient, {});
    EXPECT_EQ(provider.loadTieredSession(file, kLenient, {}).session.highlightSegments,
              want.session.highlightSegments);
    EXPECT_EQ(extractor->calls, 1);
}

TEST_F(SessionProvider, CancelledBeforeExtractionEndsWithCancellationAndStoresNothing) {
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(provider.loadSession(file, kStrict, stop.get_token()), CancellationError);
    EXPECT_THROW(provider.loadTieredSession(file, kLenient, stop.get_token()), CancellationError);
    EXPECT_THROW(provider.loadTieredSession(file, kStrict, stop.get_token()), CancellationError);
    // The background work checks too, before it starts extracting.
    EXPECT_THROW(extractTelemetrySession(*extractor, file, kStrict, stop.get_token()),
                 CancellationError);
    EXPECT_THROW(extractLenientAndStrictSessions(*extractor, file, stop.get_token()),
                 CancellationError);
    EXPECT_EQ(extractor->calls, 0);
    EXPECT_EQ(cache->size(), 0u);
}

// Polls until `done` holds or a generous safety limit passes.
bool waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Holds every extraction until released.
struct Gate {
    std::atomic<bool> started = false;
    std::atomic<bool> released = false;
    std::atomic<bool> finished = false;

    void hold() {
        started = true;
        waitUntil([&] { return released.load(); });
        finished = true;
    }
};

template <class Load>
void expectPromptCancellation(Gate& gate, FakeExtractor& extractor, Load load) {
    std::stop_source stop;
    std::exception_ptr outcome;
    bool extractionFinishedWhenCallerReturned = true;
    std::thread caller([&] {
        try {
            load(stop.get_token());
        } catch (...) {
            outcome = std::current_exception();
        }
        extractionFinishedWhenCallerReturned = gate.finished;
    });
    waitUntil([&] { return gate.started.load(); });
    stop.request_stop();
    caller.join();
    gate.released = true;
    ASSERT_TRUE(outcome);
    EXPECT_THROW(std::rethrow_exception(outcome), CancellationError);
    EXPECT_FALSE(extractionFinishedWhenCallerReturned);
    EXPECT_EQ(extractor.calls, 1);
}

TEST_F(SessionProvider, CancellingTheWaitingCallerReturnsWhileExtractionStillRuns) {
    for (const bool tiered : {false, true}) {
        SCOPED_TRACE(tiered ? "tiered" : "single");
        extractor = std::make_shared<FakeExtractor>();
        cache = std::make_shared<TelemetrySessionCache>();
        provider = TelemetrySessionProvider{extractor, cache};
        auto gate = std::make_shared<Gate>();
        extractor->beforeReturning = [gate] { gate->hold(); };
        expectPromptCancellation(*gate, *extractor, [&](std::stop_token stop) {
            if (tiered)
                provider.loadTieredSession(file, kLenient, stop);
            else
                provider.loadSession(file, kStrict, stop);
        });
        // Extraction had begun, so it ran to the end and its sessions were kept.
        ASSERT_TRUE(waitUntil([&] { return cache->size() >= (tiered ? 2u : 1u); }));
        if (tiered) {
            provider.loadTieredSession(file, kLenient, {});
        } else {
            EXPECT_EQ(provider.loadSession(file, kStrict, {}).highlightSegments,
                      expected(kStrict).highlightSegments);
        }
        EXPECT_EQ(extractor->calls, 1);
    }
}

TEST_F(SessionProvider, ExtractionErrorsPassThroughUnchangedAndNothingIsCached) {
    extractor->beforeReturning = [] {
        throw TelemetryExtractionError::telemetryMissing("No telemetry track found");
    };
    for (const auto mode : {kStrict, kLenient}) {
        try {
            provider.loadTieredSession(file, mode, {});
            ADD_FAILURE() << "expected an extraction error";
        } catch (const TelemetryExtractionError& error) {
            EXPECT_EQ(error.errorCase(), TelemetryExtractionError::Case::telemetryMissing);
            EXPECT_STREQ(error.what(), "No telemetry track found");
        }
    }
    EXPECT_EQ(cache->size(), 0u);
    // The real extractor's errors too.
    TelemetrySessionProvider real(std::make_shared<BasicTelemetryExtractionService>(), cache);
    EXPECT_THROW(real.loadSession(dir / "missing.mp4", kStrict, {}),
                 std::filesystem::filesystem_error);
    EXPECT_EQ(cache->size(), 0u);
}

TEST_F(SessionProvider, BackgroundWorkRunsAtALowerPriorityThanTheCaller) {
    const int callerNiceness = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    if (callerNiceness >= 19)
        GTEST_SKIP() << "already at the lowest priority";
    provider.loadSession(file, kStrict, {});
    EXPECT_GT(extractor->workerNiceness, callerNiceness);
    EXPECT_EQ(::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())), callerNiceness);
}

}  // namespace
}  // namespace skelder
