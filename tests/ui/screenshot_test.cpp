// skelder-gui --screenshot: the scripted run reviewers and the README use, run as a program.

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>

#include "samples/sample_recording.hpp"
#include "tests/support/ffmpeg_tools.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder::ui {
namespace {

class ScreenshotRun : public ::testing::Test {
  protected:
    ScreenshotRun() {
        samples::SampleOptions options;
        options.seconds = 12;
        options.width = 320;
        options.height = 180;
        samples::writeSampleRecording(recording, options);
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

TEST_F(ScreenshotRun, PicturesAMixedFolderAndItsListOfSkippedFiles) {
    // What a new user drops: a recording, a phone clip without telemetry and a half copy.
    const auto folder = dir / "track day";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(recording, folder / "lap.mp4");
    testing::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x90:rate=25", "-t", "1", "-pix_fmt",
                     "yuv420p", (folder / "phone.mp4").string()});
    std::filesystem::copy_file(recording, folder / "lap copy.mp4");
    std::filesystem::resize_file(folder / "lap copy.mp4",
                                 std::filesystem::file_size(recording) / 3);

    const auto window = dir / "window.png";
    const testing::CommandResult plain =
        testing::runCommand({SKELDER_GUI, "--screenshot", window.string(), folder.string()});
    ASSERT_EQ(plain.exitStatus, 0) << plain.standardError;
    const auto skipped = dir / "skipped.png";
    const testing::CommandResult withList = testing::runCommand(
        {SKELDER_GUI, "--skipped", "--screenshot", skipped.string(), folder.string()});
    ASSERT_EQ(withList.exitStatus, 0) << withList.standardError;

    // The list of skipped files hangs over the window, which is dimmed behind it.
    const QImage windowPicture(QString::fromStdString(window.string()));
    const QImage skippedPicture(QString::fromStdString(skipped.string()));
    ASSERT_EQ(windowPicture.size(), skippedPicture.size());
    const QPoint corner(windowPicture.width() - 5, windowPicture.height() - 5);
    EXPECT_LT(qGray(skippedPicture.pixel(corner)), qGray(windowPicture.pixel(corner)));
}

}  // namespace
}  // namespace skelder::ui
