// Writes the fuzzer's seed corpus: valid recordings in several layouts and costly shapes, made
// by the recording writer, small enough for the fuzzer to mutate quickly.
#include <fmt/format.h>

#include <filesystem>
#include <fstream>

#include "kovra_writer/costly_shapes.hpp"
#include "kovra_writer/kovra_writer.hpp"

namespace {

void write(const std::filesystem::path& path, const skelder::kovra::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fmt::print(stderr, "usage: {} CORPUS_DIR\n", argv[0]);
        return 2;
    }
    namespace kovra = skelder::kovra;
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);

    std::vector<std::pair<std::string, kovra::RecordingOptions>> seeds;
    kovra::RecordingOptions base;
    base.durationSeconds = 0.5;
    base.packetDurationTicks = 1'000'000;
    seeds.emplace_back("standard", base);

    auto offset = base;
    offset.headerOffsetTicks = 6'500'000;
    offset.samplesPerChunk = 2;
    offset.includeVideoTrack = true;
    seeds.emplace_back("offset-video", offset);

    auto wide = base;
    wide.useCo64 = true;
    wide.mdhdVersion = 1;
    wide.timescale = 90000;
    const auto extra = kovra::extraChannels();
    wide.channels.insert(wide.channels.end(), extra.begin(), extra.end());
    seeds.emplace_back("co64-extra", wide);

    auto tiny = base;
    tiny.channels = {kovra::standardChannels()[0], kovra::standardChannels()[4]};
    tiny.adud.reset();
    seeds.emplace_back("two-channels", tiny);

    // Shapes that are costly to read, small enough for the fuzzer's 64 KiB inputs, so that it
    // mutates towards slow inputs as well as towards crashes.
    seeds.emplace_back("unused-rates", kovra::withUnusedRates(base, 2000));
    seeds.emplace_back("unread-channels", kovra::withUnreadChannels(base, 1200));
    seeds.emplace_back("rarely-due-rates", kovra::withRarelyDueRates(base, 1000));
    seeds.emplace_back("tiny-samples", kovra::withTinySamples(base, 20));

    for (const auto& [name, options] : seeds) {
        write(dir / (name + ".mp4"), kovra::buildRecording(options));
    }
    write(dir / "nested-boxes.mp4", kovra::withNestedBoxes(base, 2000));
    fmt::print("wrote {} seeds to {}\n", seeds.size() + 1, dir.string());
    return 0;
}
