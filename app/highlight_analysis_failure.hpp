#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace skelder {

// What tells one version of a file from the next: its size and modification time.
struct FileStamp {
    std::uintmax_t sizeBytes = 0;
    std::filesystem::file_time_type modified;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The file's stamp now, or nothing when it cannot be read (gone, unreadable).
std::optional<FileStamp> fileStamp(const std::filesystem::path& path);

// A highlight analysis that failed, with the file as it was then: the analysis is not asked
// for again until the file changes or the user retries.
struct HighlightAnalysisFailure {
    std::string message;
    std::optional<FileStamp> stamp;

    friend bool operator==(const HighlightAnalysisFailure&,
                           const HighlightAnalysisFailure&) = default;
};

}  // namespace skelder
