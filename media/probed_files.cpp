#include "media/probed_files.hpp"

#include <vector>

#include "media/input_file.hpp"
#include "media/media_error.hpp"

namespace skelder::media {

struct ProbedFiles::Probe {
    Asset asset;
    InputContext unread;  // the probed demuxer until a reader takes it
    std::vector<std::unique_ptr<AVCodecParameters, void (*)(AVCodecParameters*)>> parameters;
};

namespace {

void freeParameters(AVCodecParameters* parameters) {
    avcodec_parameters_free(&parameters);
}

}  // namespace

ProbedFiles::ProbedFiles() = default;
ProbedFiles::~ProbedFiles() = default;

ProbedFiles::Probe& ProbedFiles::probe(const std::filesystem::path& path) {
    auto& slot = probes_[path.string()];
    if (slot)
        return *slot;
    InputContext context = openInput(path);
    auto probe = std::make_unique<Probe>(Probe{Asset::of(*context, path), nullptr, {}});
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        probe->parameters.emplace_back(avcodec_parameters_alloc(), &freeParameters);
        if (!probe->parameters.back())
            throw std::bad_alloc();
        checkFFmpeg(
            avcodec_parameters_copy(probe->parameters.back().get(), context->streams[i]->codecpar));
    }
    probe->unread = std::move(context);
    slot = std::move(probe);
    return *slot;
}

const Asset& ProbedFiles::asset(const std::filesystem::path& path) {
    const std::lock_guard lock(mutex_);
    return probe(path).asset;
}

InputContext ProbedFiles::open(const std::filesystem::path& path) {
    const std::lock_guard lock(mutex_);
    Probe& probe = this->probe(path);
    if (probe.unread)
        return std::move(probe.unread);
    InputContext context = openInputHeader(path);
    // The same file: the same streams, unless it changed since (then it is probed again).
    if (context->nb_streams != probe.parameters.size())
        return openInput(path);
    for (unsigned i = 0; i < context->nb_streams; ++i)
        checkFFmpeg(
            avcodec_parameters_copy(context->streams[i]->codecpar, probe.parameters[i].get()));
    return context;
}

}  // namespace skelder::media
