// Writes a sample recording: the recorder's telemetry track with a plausible lap profile, alone
// or added to the video and sound of an existing MP4 (a camera file, or one ffmpeg made).
#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "kovra_writer/kovra_writer.hpp"
#include "kovra_writer/mp4_merge.hpp"

int main(int argc, char** argv) {
    CLI::App app{"Write a sample Kovra recording (telemetry track only)", "skelder-sample"};
    std::string output;
    double durationSeconds = 60;
    double headerOffsetSeconds = 0.65;
    std::string video;
    app.add_option("OUTPUT", output, "File to write (.mp4)")->required();
    app.add_option("--duration", durationSeconds, "Length in seconds")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    app.add_option("--header-offset", headerOffsetSeconds,
                   "How far the packet header clock runs ahead of the track's time, in seconds")
        ->capture_default_str()
        ->check(CLI::Range(0.0, 3600.0));
    app.add_option("--video", video,
                   "An MP4 whose video and sound the recording carries (the telemetry lasts as "
                   "long as it unless --duration is given)")
        ->check(CLI::ExistingFile);
    CLI11_PARSE(app, argc, argv);

    skelder::kovra::RecordingOptions options;
    options.durationSeconds = durationSeconds;
    options.headerOffsetTicks = static_cast<std::int64_t>(headerOffsetSeconds * 10'000'000);
    options.includeVideoTrack = true;
    try {
        if (!video.empty()) {
            if (app.count("--duration") == 0)
                options.durationSeconds = 0;  // as long as the movie
            skelder::kovra::appendTelemetryTrack(video, output, options);
        } else {
            skelder::kovra::writeRecording(output, options);
        }
    } catch (const std::exception& error) {
        fmt::print(stderr, "{}\n", error.what());
        return 1;
    }
    fmt::print("wrote {}\n", output);
    return 0;
}
