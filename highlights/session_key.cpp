#include "highlights/session_key.hpp"

#include "core/path_key.hpp"

#include <fmt/format.h>
#include <sys/stat.h>

#include <system_error>

namespace skelder {

std::string roundTripDecimal(double value) {
    std::string text = fmt::format("{}", value);
    if (text.find_first_of(".e") == std::string::npos && text.find("inf") == std::string::npos &&
        text.find("nan") == std::string::npos) {
        text += ".0";
    }
    return text;
}

std::string telemetrySessionKey(const std::filesystem::path& url, HighlightFilterMode filterMode) {
    std::string key = pathKey(url);
    key += '|';
    key += textForm(filterMode);
    struct stat status {};
    const bool known = ::stat(url.c_str(), &status) == 0;
    if (known) {
        key += fmt::format("|{}|", static_cast<unsigned long long>(status.st_size));
        const double seconds = static_cast<double>(status.st_mtim.tv_sec) +
                               static_cast<double>(status.st_mtim.tv_nsec) / 1e9;
        key += roundTripDecimal(seconds);
    } else {
        key += "|unknown-size|unknown-mtime";
    }
    return key;
}

}  // namespace skelder
