// Every failure message of the extraction, each produced by a forged file, checked through
// the extraction service and, for a case of each kind, through `skelder telemetry`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <set>

#include "telemetry/extraction_service.hpp"
#include "tests/support/extraction_matchers.hpp"
#include "tests/support/forged_recording.hpp"
#include "tests/support/run_command.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

using kovra::Bytes;
using testing::ForgedRecording;
using testing::removeBox;
using testing::replaceBox;
using Case = TelemetryExtractionError::Case;

struct FailureCase {
    std::string name;
    std::function<std::filesystem::path(const testing::TempDir&)> make;
    Case errorCase;
    std::string message;
};

std::function<std::filesystem::path(const testing::TempDir&)> file(std::function<Bytes()> build) {
    return [build](const testing::TempDir& dir) {
        static int serial = 0;
        const auto path = dir / ("case" + std::to_string(++serial) + ".mp4");
        testing::writeFile(path, build());
        return path;
    };
}

std::function<Bytes()> tables(std::function<void(kovra::TrackTables&)> edit) {
    return [edit] {
        ForgedRecording recording;
        recording.editTables = edit;
        return recording.build();
    };
}

// A recording whose telemetry "stbl" or "mdia" children are edited.
std::function<Bytes()> stbl(std::function<void(std::vector<Bytes>&)> edit) {
    return tables([edit](kovra::TrackTables& t) { t.editStbl = edit; });
}

std::function<Bytes()> mdia(std::function<void(std::vector<Bytes>&)> edit) {
    return tables([edit](kovra::TrackTables& t) { t.editMdia = edit; });
}

std::function<Bytes()> withTail(Bytes tail) {
    return [tail] {
        Bytes bytes = ForgedRecording().build();
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return bytes;
    };
}

// A full box payload: version/flags 0, then 32-bit words.
Bytes words(std::initializer_list<std::uint32_t> values) {
    kovra::ByteWriter out;
    out.u32(0);
    for (auto v : values)
        out.u32(v);
    return std::move(out).take();
}

std::vector<FailureCase> failureCases() {
    const auto channels = kovra::standardChannels();
    const Bytes adcr = kovra::adcrBox(kovra::ratesOf(channels));
    const Bytes adcp = kovra::adcpBox(channels);
    const Bytes cutRate{1, 0, 1, 0, 0, 0, 0};  // half of a 64-bit interval
    const Bytes openTag{0, 1, 'g', 'e', 'a', 'r'};

    const auto entries = [](std::vector<Bytes> sampleEntries) {
        return tables([sampleEntries](kovra::TrackTables& t) { t.sampleEntries = sampleEntries; });
    };

    // A default sample size whose samples need more bytes than the whole file holds.
    const Bytes pastTheEnd =
        stbl([](auto& c) { replaceBox(c, "stsz", kovra::stszBox(64, 1'000'000, {})); })();
    const std::string pastTheEndMessage =
        "stsz default sample size runs past the end of the file (1000000 samples of 64 bytes, "
        "file of " +
        std::to_string(pastTheEnd.size()) + " bytes)";

    std::vector<FailureCase> cases{
        {"extension",
         [](const testing::TempDir& dir) {
             const auto path = dir / "clip.mov";
             testing::writeFile(path, ForgedRecording().build());
             return path;
         },
         Case::unsupportedInput, "Only MP4 files are supported"},
        {"directory",
         [](const testing::TempDir& dir) {
             std::filesystem::create_directory(dir / "folder.mp4");
             return dir / "folder.mp4";
         },
         Case::unsupportedInput, "Input is not a regular file"},
        {"empty", file([] { return Bytes{}; }), Case::decodeFailed, "Input file is empty"},
        {"no moov", file([] {
             return kovra::concat({kovra::ftypBox(), kovra::box("mdat", Bytes(16, 1))});
         }),
         Case::decodeFailed, "MP4 metadata box 'moov' not found"},
        {"no trak", file([] {
             return kovra::concat({kovra::ftypBox(), kovra::moovBox({}, {})});
         }),
         Case::telemetryMissing, "No track boxes found in moov"},
        {"short hdlr", file([] {
             kovra::TrackTables video;
             video.handlerType = "vide";
             video.editMdia = [](std::vector<Bytes>& children) {
                 replaceBox(children, "hdlr", kovra::box("hdlr", Bytes(8, 0)));
             };
             ForgedRecording recording;
             recording.leadingTraks = {kovra::trakBox(video)};
             return recording.build();
         }),
         Case::decodeFailed, "Invalid hdlr payload size"},
        {"no adrv", file([] {
             return kovra::concat(
                 {kovra::ftypBox(), kovra::moovBox({}, {kovra::emptyVideoTrakBox(1, 1000, 1000)})});
         }),
         Case::telemetryMissing, "No telemetry track with handler type 'adrv' found"},
        {"no adco",
         file(entries({kovra::box("mp4v", Bytes(8, 0)), kovra::box("text", Bytes(8, 0))})),
         Case::telemetryMissing,
         "Telemetry track present but 'adco' sample entry not found (stsd: mp4v, text)"},
        {"no stts", file(stbl([](auto& c) { removeBox(c, "stts"); })), Case::decodeFailed,
         "Missing required stbl child box (stsd/stsz/stsc/stts)"},
        {"short stsd",
         file(stbl([](auto& c) { replaceBox(c, "stsd", kovra::box("stsd", Bytes(4, 0))); })),
         Case::decodeFailed, "Invalid stsd payload size"},
        {"no stco", file(stbl([](auto& c) { removeBox(c, "stco"); })), Case::decodeFailed,
         "Missing stco/co64 chunk offsets table"},
        {"short stsz",
         file(stbl([](auto& c) { replaceBox(c, "stsz", kovra::box("stsz", Bytes(8, 0))); })),
         Case::decodeFailed, "Invalid stsz payload"},
        {"stsz past the file", file([pastTheEnd] { return pastTheEnd; }), Case::decodeFailed,
         pastTheEndMessage},
        {"cut stsz", file(stbl([](auto& c) {
             replaceBox(c, "stsz", kovra::stszBox(0, 5, {40, 40}));
         })),
         Case::decodeFailed, "stsz sample size table truncated"},
        {"short stco",
         file(stbl([](auto& c) { replaceBox(c, "stco", kovra::box("stco", Bytes(4, 0))); })),
         Case::decodeFailed, "Invalid stco payload"},
        {"short co64",
         file(stbl([](auto& c) { replaceBox(c, "stco", kovra::box("co64", Bytes(7, 0))); })),
         Case::decodeFailed, "Invalid co64 payload"},
        {"cut stco", file(stbl([](auto& c) {
             replaceBox(c, "stco", kovra::box("stco", words({3, 64})));
         })),
         Case::decodeFailed, "stco table truncated"},
        {"cut co64", file(stbl([](auto& c) {
             replaceBox(c, "stco", kovra::box("co64", words({2, 0, 64})));
         })),
         Case::decodeFailed, "co64 table truncated"},
        {"huge co64", file(stbl([](auto& c) {
             replaceBox(c, "stco", kovra::chunkOffsetBox({64, 1ull << 63, 64}, true));
         })),
         Case::decodeFailed, "co64 chunk offset too large"},
        {"short stsc",
         file(stbl([](auto& c) { replaceBox(c, "stsc", kovra::box("stsc", Bytes(7, 0))); })),
         Case::decodeFailed, "Invalid stsc payload"},
        {"cut stsc", file(stbl([](auto& c) {
             replaceBox(c, "stsc", kovra::box("stsc", words({2, 1, 1, 1})));
         })),
         Case::decodeFailed, "stsc table truncated"},
        {"empty stsc", file(tables([](kovra::TrackTables& t) { t.stsc.clear(); })),
         Case::decodeFailed, "stsc has no entries"},
        {"uncovered", file(tables([](kovra::TrackTables& t) { t.chunkOffsets.resize(2); })),
         Case::decodeFailed, "stsc mapping did not cover all samples"},
        {"no mdhd", file(mdia([](auto& c) { removeBox(c, "mdhd"); })), Case::decodeFailed,
         "Missing mdhd in telemetry track"},
        {"short mdhd",
         file(mdia([](auto& c) { replaceBox(c, "mdhd", kovra::box("mdhd", Bytes(3, 0))); })),
         Case::decodeFailed, "Invalid mdhd payload"},
        {"short mdhd v0",
         file(mdia([](auto& c) { replaceBox(c, "mdhd", kovra::box("mdhd", Bytes(19, 0))); })),
         Case::decodeFailed, "Invalid mdhd v0 payload"},
        {"short mdhd v1", file(mdia([](auto& c) {
             Bytes payload(27, 0);
             payload[0] = 1;
             replaceBox(c, "mdhd", kovra::box("mdhd", payload));
         })),
         Case::decodeFailed, "Invalid mdhd v1 payload"},
        {"timescale 0", file(tables([](kovra::TrackTables& t) { t.timescale = 0; })),
         Case::decodeFailed, "Invalid telemetry timescale"},
        {"short stts",
         file(stbl([](auto& c) { replaceBox(c, "stts", kovra::box("stts", Bytes(7, 0))); })),
         Case::decodeFailed, "Invalid stts payload"},
        {"cut stts", file(stbl([](auto& c) {
             replaceBox(c, "stts", kovra::box("stts", words({2, 1, 1000})));
         })),
         Case::decodeFailed, "stts table truncated"},
        {"entry bounds", file(stbl([adcr, adcp](auto& c) {
             kovra::ByteWriter stsd;
             stsd.u32(0);
             stsd.u32(2);
             stsd.raw(kovra::adcoBox({adcr, adcp}));
             stsd.raw(Bytes(4, 0));
             replaceBox(c, "stsd", kovra::box("stsd", stsd.bytes()));
         })),
         Case::decodeFailed, "Invalid MP4 box header bounds"},
        {"large header", file(withTail(kovra::boxWithSizeField("free", 1, Bytes(4, 0)))),
         Case::decodeFailed, "Invalid large-size box header"},
        {"large length", file(withTail(kovra::largeBoxWithSize("free", 15, Bytes(8, 0)))),
         Case::decodeFailed, "Invalid large-size box length"},
        {"truncated file", file([] {
             Bytes bytes = ForgedRecording().build();
             bytes.resize(bytes.size() - 10);
             return bytes;
         }),
         Case::decodeFailed, "Invalid box size"},
        {"cut adcr", file(entries({kovra::adcoBox({kovra::box("adcr", cutRate), adcp})})),
         Case::decodeFailed, "Binary read out of bounds"},
        {"open tag", file(entries({kovra::adcoBox({adcr, kovra::box("adcp", openTag)})})),
         Case::decodeFailed, "Missing null-terminated string terminator"},
        {"short adco", file(entries({kovra::box("adco", Bytes(7, 0))})), Case::decodeFailed,
         "Invalid adco sample entry payload"},
        {"no adcp", file(entries({kovra::adcoBox({adcr})})), Case::decodeFailed,
         "adco missing required adcr/adcp boxes"},
    };
    return cases;
}

// A path whose attributes pass validation but whose content cannot be read, or "" where the
// machine offers none (as root, permissions do not stop a read; sysfs write-only files do).
std::filesystem::path unreadableFile(const testing::TempDir& dir) {
    if (::geteuid() != 0) {
        const auto path = dir / "locked.mp4";
        testing::writeFile(path, ForgedRecording().build());
        std::filesystem::permissions(path, std::filesystem::perms::none);
        return path;
    }
    for (const char* candidate : {"/sys/bus/pci/rescan", "/sys/kernel/mm/ksm/run_never"}) {
        if (std::filesystem::is_regular_file(candidate) && ::access(candidate, R_OK) == 0) {
            const auto link = dir / "sysfs.mp4";
            std::filesystem::create_symlink(candidate, link);
            if (::open(link.c_str(), O_RDONLY) < 0 && errno == EACCES)
                return link;
            std::filesystem::remove(link);
        }
    }
    return {};
}

TEST(ExtractionFailures, EveryMessageThroughTheService) {
    testing::TempDir dir;
    const BasicTelemetryExtractionService service;
    for (const FailureCase& failure : failureCases()) {
        SCOPED_TRACE(failure.name);
        const auto path = failure.make(dir);
        try {
            service.extractTelemetry(path, true, true);
            ADD_FAILURE() << "expected: " << failure.message;
        } catch (const TelemetryExtractionError& error) {
            EXPECT_EQ(std::string(error.what()), failure.message);
            EXPECT_EQ(error.errorCase(), failure.errorCase);
        }
    }
}

// The command line prints the message as it is; a case of each kind is enough to show it.
TEST(ExtractionFailures, MessagesThroughTheCommandLine) {
    testing::TempDir dir;
    const std::set<std::string> shown{"extension", "empty",   "no moov",
                                      "no adrv",   "no adco", "stsz past the file",
                                      "cut co64",  "open tag"};
    for (const FailureCase& failure : failureCases()) {
        if (!shown.contains(failure.name))
            continue;
        SCOPED_TRACE(failure.name);
        const auto result =
            testing::runCommand({testing::skelderExecutable(), "telemetry", failure.make(dir)});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.standardError, failure.message + "\n");
        EXPECT_EQ(result.standardOutput, "");
    }
}

TEST(ExtractionFailures, UnreadableFile) {
    testing::TempDir dir;
    const auto path = unreadableFile(dir);
    if (path.empty())
        GTEST_SKIP() << "no unreadable regular file can be made here";
    EXPECT_DECODE_FAILED(BasicTelemetryExtractionService().extractTelemetry(path, false, false),
                         "Failed to read file: Permission denied");
    const auto result = testing::runCommand({testing::skelderExecutable(), "telemetry", path});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.standardError, "Failed to read file: Permission denied\n");
}

}  // namespace
}  // namespace skelder
