#include "export/output_paths.hpp"

#include <gtest/gtest.h>

#include "export/file_discovery.hpp"
#include "tests/support/temp_dir.hpp"

namespace skelder {
namespace {

void touch(const std::filesystem::path& path) {
    std::filesystem::create_directories(path.parent_path());
    testing::writeFile(path, std::vector<std::uint8_t>{1});
}

TEST(OutputPaths, NamesFollowTheInput) {
    EXPECT_EQ(outputFileName("/in/Run 3.MP4", ProcessingMode::full), "Run 3.full.overlay.mp4");
    EXPECT_EQ(outputFileName("/in/lap.mp4", ProcessingMode::highlights), "lap.highlights.mp4");
    EXPECT_EQ(defaultReelFileName({"/in/lap.mp4"}), "lap.highlights.mp4");
    EXPECT_EQ(defaultReelFileName({"/a.mp4", "/b.mp4"}), "highlights.reel.mp4");
    EXPECT_EQ(defaultReelFileName({}), "highlights.reel.mp4");
    EXPECT_EQ(processingModeText(ProcessingMode::highlights), "highlights");
}

TEST(OutputPaths, CollisionsWithReservedAndExistingFiles) {
    testing::TempDir dir;
    ReservedPaths reserved;
    // Two inputs of the same name into one folder: neither output exists yet.
    EXPECT_EQ(uniqueOutputURL(dir / "a" / "clip.mp4", ProcessingMode::full, dir.path(), reserved),
              dir / "clip.full.overlay.mp4");
    EXPECT_EQ(uniqueOutputURL(dir / "b" / "clip.mp4", ProcessingMode::full, dir.path(), reserved),
              dir / "clip.full.overlay-2.mp4");
    EXPECT_EQ(reserved.size(), 2u);

    ReservedPaths fresh;
    touch(dir / "out" / "clip.full.overlay.mp4");
    touch(dir / "out" / "clip.full.overlay-2.mp4");
    EXPECT_EQ(uniqueOutputURL(dir / "clip.mp4", ProcessingMode::full, dir / "out", fresh),
              dir / "out" / "clip.full.overlay-3.mp4");
    // A reserved path written through a ./ segment is the same path.
    ReservedPaths dotted{(dir / "out2" / "clip.highlights.mp4").string()};
    EXPECT_EQ(
        uniqueOutputURL(dir / "clip.mp4", ProcessingMode::highlights, dir / "out2" / ".", dotted)
            .filename(),
        "clip.highlights-2.mp4");
}

TEST(FileDiscovery, RecursiveCaseInsensitiveAndSkipsHidden) {
    testing::TempDir dir;
    touch(dir / "CLIP.MP4");
    touch(dir / "deep" / "er" / "clip.Mp4");
    touch(dir / "clip.mp4.txt");
    touch(dir / ".hidden.mp4");
    touch(dir / ".cache" / "inside.mp4");
    std::filesystem::create_directories(dir / "folder.mp4");
    const auto found = mp4Files(dir.path());
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0], dir / "CLIP.MP4");
    EXPECT_EQ(found[1], dir / "deep" / "er" / "clip.Mp4");
    EXPECT_EQ(found[2], dir / "folder.mp4");  // only the name is tested
    EXPECT_TRUE(mp4Files(dir / "missing").empty());
}

TEST(FileDiscovery, DuplicatesAndDroppedItems) {
    testing::TempDir dir;
    touch(dir / "a.mp4");
    touch(dir / "sub" / "b.MP4");
    touch(dir / "notes.txt");
    const auto unique =
        uniqueURLs({dir / "a.mp4", dir / "." / "a.mp4", dir / "sub" / ".." / "a.mp4"});
    ASSERT_EQ(unique.size(), 1u);
    const auto collected =
        collectMP4Items({dir / "sub", dir / "a.mp4", dir / "notes.txt", dir / "sub" / "b.MP4"});
    ASSERT_EQ(collected.size(), 2u);
    EXPECT_EQ(collected[0], dir / "sub" / "b.MP4");
    EXPECT_EQ(collected[1], dir / "a.mp4");
}

}  // namespace
}  // namespace skelder
