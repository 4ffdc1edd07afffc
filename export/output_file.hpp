#pragma once

#include <filesystem>

namespace skelder {

// The temporary file an export writes before it is complete: in the system's temporary
// directory, named after the output with an upper-case UUID before the extension
// ("lap.full.overlay.<UUID>.mp4"; "<name>.<UUID>.partial" when the output has no extension).
std::filesystem::path makePartialOutputURL(const std::filesystem::path& outputURL);

// Removes a file if one is there; throws std::filesystem::filesystem_error on failure.
void removeItemIfPresent(const std::filesystem::path& url);

// Puts the finished temporary file at the output path: flushed to the disk first, then
// replacing an existing file atomically, or moving it, and the folder flushed; across file
// systems (EXDEV) it is copied to a staging name of its own beside the output, flushed and
// renamed, and the temporary removed. A failed copy leaves neither output nor staging file.
// Throws std::filesystem::filesystem_error.
void moveIntoPlace(const std::filesystem::path& temporaryURL,
                   const std::filesystem::path& outputURL);

}  // namespace skelder
