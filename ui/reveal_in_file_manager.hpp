#pragma once

#include <filesystem>
#include <vector>

namespace skelder::ui {

// Shows files selected in the desktop's file manager (the freedesktop FileManager1 service),
// or, where there is none, opens the folder of the first file.
void revealInFileManager(const std::vector<std::filesystem::path>& files);

}  // namespace skelder::ui
