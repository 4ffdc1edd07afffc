#include "highlights/session_cache.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace skelder {
namespace {

using ::testing::ElementsAreArray;

TelemetrySession sessionOfSize(std::uint64_t size) {
    TelemetrySession session;
    session.fileSizeBytes = size;
    return session;
}

std::string keyNumber(int i) {
    return "/recordings/lap" + std::to_string(i) + ".mp4|onlyBest|1|1.0";
}

TEST(TelemetrySessionCache, TheTwentyFifthStoreEvictsTheFirstKey) {
    TelemetrySessionCache cache;
    std::vector<std::string> keys;
    for (int i = 0; i < 25; ++i) {
        keys.push_back(keyNumber(i));
        cache.store(sessionOfSize(i), keys.back());
        // Lookups do not count as use: the cache is first in, first out.
        EXPECT_TRUE(cache.lookup(keys.front()).has_value() || i == 24);
    }
    EXPECT_EQ(cache.size(), 24u);
    EXPECT_EQ(cache.lookup(keys[0]), std::nullopt);
    EXPECT_THAT(cache.insertionOrder(), ElementsAreArray(keys.begin() + 1, keys.end()));
    for (int i = 1; i < 25; ++i)
        EXPECT_EQ(cache.lookup(keys[i])->fileSizeBytes, static_cast<std::uint64_t>(i));
}

TEST(TelemetrySessionCache, RefreshingAKeyReplacesTheSessionButKeepsItsPlace) {
    TelemetrySessionCache cache;
    for (int i = 0; i < 24; ++i)
        cache.store(sessionOfSize(i), keyNumber(i));
    cache.store(sessionOfSize(100), keyNumber(0));
    EXPECT_EQ(cache.size(), 24u);
    EXPECT_EQ(cache.lookup(keyNumber(0))->fileSizeBytes, 100u);
    EXPECT_EQ(cache.insertionOrder().front(), keyNumber(0));
    // Frequently refreshed, still the first to go.
    cache.store(sessionOfSize(24), keyNumber(24));
    EXPECT_EQ(cache.lookup(keyNumber(0)), std::nullopt);
    EXPECT_EQ(cache.insertionOrder().front(), keyNumber(1));
    EXPECT_EQ(cache.insertionOrder().back(), keyNumber(24));
}

TEST(TelemetrySessionCache, SeveralThreadsStoreAndLookUpAtOnce) {
    TelemetrySessionCache cache;
    constexpr int kThreads = 4;
    constexpr int kStoresPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < kStoresPerThread; ++i) {
                const std::string key = keyNumber(t * kStoresPerThread + i);
                cache.store(sessionOfSize(static_cast<std::uint64_t>(i)), key);
                if (const auto found = cache.lookup(key)) {
                    EXPECT_EQ(found->fileSizeBytes, static_cast<std::uint64_t>(i));
                }
                cache.lookup(keyNumber(i));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(cache.size(), 24u);
    const auto order = cache.insertionOrder();
    ASSERT_EQ(order.size(), 24u);
    for (const auto& key : order)
        EXPECT_TRUE(cache.lookup(key).has_value()) << key;
}

}  // namespace
}  // namespace skelder
