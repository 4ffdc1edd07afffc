#include "tests/support/sample_files.hpp"

#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

namespace skelder::testing {
namespace {

// Changes whenever the test program is built again, and with it the writer it links.
std::string buildOfThisProgram() {
    struct stat status {};
    ::stat("/proc/self/exe", &status);
    return fmt::format("{}-{}-{}", status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
}

std::filesystem::path cacheFolder() {
    const auto root =
        std::filesystem::canonical("/proc/self/exe").parent_path() / "sample_recordings";
    const auto folder = root / buildOfThisProgram();
    std::filesystem::create_directories(folder);
    // Recordings of earlier builds are of no use any more.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(root, ignored)) {
        if (entry.path() != folder)
            std::filesystem::remove_all(entry.path(), ignored);
    }
    return folder;
}

std::string nameOf(const samples::SampleOptions& o) {
    const samples::EngineSoundOptions& s = o.sound;
    return fmt::format("{}s-{}x{}-{}_{}fps-{}deg-{}-seed{}-lag{}-sound{}_{}_{}_{}_{}.mp4",
                       o.seconds, o.width, o.height, o.frameRate.numerator, o.frameRate.denominator,
                       o.rotationDegrees, o.audio ? "audio" : "mute", o.seed, o.telemetryLagSeconds,
                       s.cylinders, s.delaySeconds, s.roadNoiseLevel, s.windLevel, s.musicLevel);
}

}  // namespace

void copySampleRecording(const std::filesystem::path& file, const samples::SampleOptions& options) {
    const auto cached = cacheFolder() / nameOf(options);
    if (!std::filesystem::exists(cached)) {
        samples::SampleOptions quiet = options;
        quiet.onProgress = {};
        quiet.stopToken = {};
        // Written under a name of this process and renamed, so tests running at the same time
        // never see half a file.
        const auto partial =
            cached.parent_path() / fmt::format("{}.{}", ::getpid(), cached.filename().string());
        samples::writeSampleRecording(partial, quiet);
        std::filesystem::rename(partial, cached);
    }
    std::filesystem::copy_file(cached, file, std::filesystem::copy_options::overwrite_existing);
}

}  // namespace skelder::testing
