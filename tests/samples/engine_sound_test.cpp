#include "samples/engine_sound.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "samples/sample_error.hpp"
#include "samples/sample_recording.hpp"

namespace skelder::samples {
namespace {

TEST(EngineSound, RejectsOptionsOutOfRange) {
    const auto messageFor = [](const EngineSoundOptions& options) -> std::string {
        try {
            validateEngineSoundOptions(options);
        } catch (const SampleOptionsError& error) {
            return error.what();
        }
        return "";
    };
    EXPECT_EQ(messageFor({}), "");
    EXPECT_EQ(messageFor({.cylinders = 0}), "The engine must have 1 to 16 cylinders");
    EXPECT_EQ(messageFor({.cylinders = 17}), "The engine must have 1 to 16 cylinders");
    EXPECT_EQ(messageFor({.cylinders = 16, .delaySeconds = -10}), "");
    const std::string delay = "The engine sound delay must be within 10 seconds";
    EXPECT_EQ(messageFor({.delaySeconds = 10.5}), delay);
    EXPECT_EQ(messageFor({.delaySeconds = std::nan("")}), delay);
    const std::string levels = "The road noise, wind and music levels must be from 0 to 10";
    EXPECT_EQ(messageFor({.roadNoiseLevel = -1}), levels);
    EXPECT_EQ(messageFor({.windLevel = 11}), levels);
    EXPECT_EQ(messageFor({.musicLevel = HUGE_VAL}), levels);
    EXPECT_EQ(messageFor({.roadNoiseLevel = 10, .windLevel = 10, .musicLevel = 10}), "");
    EXPECT_THROW(validateSampleOptions({.sound = {.cylinders = 0}}), SampleOptionsError);
}

}  // namespace
}  // namespace skelder::samples
