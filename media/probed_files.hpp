#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "media/asset.hpp"
#include "media/ffmpeg_handles.hpp"

namespace skelder::media {

// The files one export reads, each probed once: probing (FFmpeg's stream information) reads
// and decodes the first packets of every stream, and an export used to do it four times a file
// (the job, the description, the video and the audio reader). The properties come from that
// one probe; the first reader of a file takes the probed demuxer as it stands, and every later
// reader (the audio beside the video, a file's further pieces in a reel) opens the file's
// header only and takes the stream parameters the probe learned. Safe from several threads.
class ProbedFiles {
  public:
    ProbedFiles();
    ~ProbedFiles();
    ProbedFiles(const ProbedFiles&) = delete;
    ProbedFiles& operator=(const ProbedFiles&) = delete;

    // The file's properties; throws MediaError with FFmpeg's description when it cannot be
    // opened.
    const Asset& asset(const std::filesystem::path& path);
    // A demuxer of the file at its start, for one reader; throws MediaError.
    InputContext open(const std::filesystem::path& path);

  private:
    struct Probe;
    Probe& probe(const std::filesystem::path& path);

    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<Probe>> probes_;
};

}  // namespace skelder::media
