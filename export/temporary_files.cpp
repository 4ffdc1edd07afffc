#include "export/temporary_files.hpp"

#include <mutex>
#include <set>

namespace skelder {
namespace {

struct Registry {
    std::mutex mutex;
    std::multiset<std::filesystem::path> paths;
};

Registry& registry() {
    static Registry* instance = new Registry;  // never destroyed: used until the process ends
    return *instance;
}

}  // namespace

void TemporaryFiles::removeAll() noexcept {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const std::filesystem::path& path : r.paths) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
}

RegisteredTemporaryFile::RegisteredTemporaryFile(std::filesystem::path path)
    : path_(std::move(path)) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.paths.insert(path_);
}

RegisteredTemporaryFile::~RegisteredTemporaryFile() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (const auto found = r.paths.find(path_); found != r.paths.end())
        r.paths.erase(found);
}

}  // namespace skelder
