// skelder-gui --screenshot: the scripted run reviewers and the README use, run as a program.

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/sample_files.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::ui {
namespace {

class ScreenshotRun : public ::testing::Test {
  protected:
    ScreenshotRun() {
        testing::copySampleRecording(recording, {.seconds = 12, .width = 320, .height = 180});
        // The run keeps its settings out of the user's, draws offscreen, and leaves leak
        // checking to the test programs (Qt Multimedia 6.4 leaks at exit).
        ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    }

    testing::TempDir dir;
    std::filesystem::path recording = dir / "lap.mp4";
};

TEST_F(ScreenshotRun, SavesThePictureOfTheWindowOnceTheShownFileIsAnalysed) {
    const auto picture = dir / "window.png";
    const testing::CommandResult result =
        testing::runCommand({SKELDER_GUI, "--screenshot", picture.string(), recording.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput, picture.string() + "\n");
    const QImage image(QString::fromStdString(picture.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 980);
    EXPECT_GE(image.height(), 620);
}

TEST_F(ScreenshotRun, ASelectionBeyondTheListIsAnError) {
    const auto picture = dir / "window.png";
    const testing::CommandResult result = testing::runCommand(
        {SKELDER_GUI, "--screenshot", picture.string(), "--select", "2", recording.string()});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.standardError.find("--select 2: 1 MP4 file(s) are listed"), std::string::npos)
        << result.standardError;
    EXPECT_FALSE(std::filesystem::exists(picture));
}

}  // namespace
}  // namespace skelder::ui
