#include "export/error_description.hpp"

#include <filesystem>

namespace skelder {

std::string errorDescription(const std::exception& error) {
    if (const auto* fileError = dynamic_cast<const std::filesystem::filesystem_error*>(&error)) {
        const std::string path = fileError->path1().string();
        return path.empty() ? fileError->code().message()
                            : path + ": " + fileError->code().message();
    }
    return error.what();
}

}  // namespace skelder
