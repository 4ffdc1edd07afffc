#pragma once

#include <filesystem>
#include <string>

#include "highlights/filter_mode.hpp"

namespace skelder {

// Shortest decimal text that reads back as the same double; whole numbers keep ".0".
std::string roundTripDecimal(double value);

// "<path key>|<mode text>|<size or unknown-size>|<mtime seconds or unknown-mtime>". Size and
// time are read from the file system on every call, so a changed file gets a new key.
std::string telemetrySessionKey(const std::filesystem::path& url, HighlightFilterMode filterMode);

}  // namespace skelder
