#pragma once

#include <exception>
#include <string>

namespace skelder {

// The text a user sees for a failure: our own errors carry it as their message; file system
// errors become "path: reason" without the library's decoration.
std::string errorDescription(const std::exception& error);

}  // namespace skelder
