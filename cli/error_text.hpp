#pragma once

#include <exception>
#include <string>

#include "export/error_description.hpp"

namespace skelder::cli {

inline std::string errorText(const std::exception& error) {
    return errorDescription(error);
}

}  // namespace skelder::cli
