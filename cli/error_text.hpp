#pragma once

#include <exception>
#include <filesystem>
#include <string>

namespace skelder::cli {

// The text a user sees for a failure: our own errors carry it as their message; file
// system errors are rephrased without the library's decoration.
inline std::string errorText(const std::exception& error) {
    if (const auto* fileError = dynamic_cast<const std::filesystem::filesystem_error*>(&error)) {
        return fileError->path1().string() + ": " + fileError->code().message();
    }
    return error.what();
}

}  // namespace skelder::cli
