#include "app/highlight_analysis_failure.hpp"

#include <system_error>

namespace skelder {

std::optional<FileStamp> fileStamp(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return std::nullopt;
    const std::filesystem::file_time_type modified = std::filesystem::last_write_time(path, error);
    if (error)
        return std::nullopt;
    return FileStamp{size, modified};
}

}  // namespace skelder
