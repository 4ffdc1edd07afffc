#include "media/animation_coding.hpp"

#include <algorithm>
#include <cstring>

namespace skelder::media {
namespace {

// The longest run one code repeats, the most literal pixels one code carries, the most pixels
// one skip code passes over.
constexpr int kLongestRun = 128;
constexpr int kMostLiterals = 127;
constexpr int kLongestSkip = 254;

class Coder {
  public:
    explicit Coder(std::vector<std::uint8_t>& out) : out_(out) {}

    void byte(int value) { out_.push_back(static_cast<std::uint8_t>(value)); }
    void be16(int value) {
        byte(value >> 8);
        byte(value & 0xff);
    }
    void pixels(const std::uint8_t* from, int count) {
        out_.insert(out_.end(), from, from + static_cast<std::ptrdiff_t>(count) * 4);
    }

    // One row: the skip to `span.begin`, then its pixels up to `span.end`, then the row's end.
    void row(const std::uint8_t* pixelsOfRow, RowSpan span) {
        int skip = span.begin;
        // The row opens with a skip code of its own (one more than the pixels passed over);
        // longer skips continue as code 0 followed by a skip code.
        byte(std::min(skip, kLongestSkip) + 1);
        skip -= std::min(skip, kLongestSkip);
        while (skip > 0) {
            byte(0);
            byte(std::min(skip, kLongestSkip) + 1);
            skip -= std::min(skip, kLongestSkip);
        }
        int x = span.begin;
        while (x < span.end) {
            const int run = runAt(pixelsOfRow, x, span.end);
            if (run >= 3) {
                byte(-run);
                pixels(pixelsOfRow + x * 4, 1);
                x += run;
                continue;
            }
            // Literals up to where a run of three or more starts.
            int last = x + 1;
            while (last < span.end && last - x < kMostLiterals &&
                   runAt(pixelsOfRow, last, span.end) < 3)
                ++last;
            byte(last - x);
            pixels(pixelsOfRow + x * 4, last - x);
            x = last;
        }
        byte(0xff);  // -1: the row ends
    }

  private:
    // How many equal pixels start at `x` (at most one code's run).
    static int runAt(const std::uint8_t* row, int x, int end) {
        std::uint32_t first;
        std::memcpy(&first, row + x * 4, 4);
        int length = 1;
        while (x + length < end && length < kLongestRun) {
            std::uint32_t next;
            std::memcpy(&next, row + (x + length) * 4, 4);
            if (next != first)
                break;
            ++length;
        }
        return length;
    }

    std::vector<std::uint8_t>& out_;
};

}  // namespace

std::vector<std::uint8_t> codeAnimationPicture(const ArgbPicture& picture,
                                               const std::vector<RowSpan>& changed) {
    const int rows = std::min(picture.height, static_cast<int>(changed.size()));
    auto isChanged = [&](int row) {
        return changed[static_cast<std::size_t>(row)].end >
               changed[static_cast<std::size_t>(row)].begin;
    };
    int first = 0;
    while (first < rows && !isChanged(first))
        ++first;
    int last = rows - 1;
    while (last > first && !isChanged(last))
        --last;

    std::vector<std::uint8_t> out;
    Coder coder(out);
    for (int i = 0; i < 4; ++i)
        coder.byte(0);  // the sample's size, filled in below
    if (first == rows) {
        // Nothing changed: one empty row, which every reader takes as "as before".
        first = 0;
        last = 0;
    }
    const bool whole = first == 0 && last == picture.height - 1;
    if (whole) {
        coder.be16(0);
    } else {
        coder.be16(8);  // the rows coded are given
        coder.be16(first);
        coder.be16(0);
        coder.be16(last - first + 1);
        coder.be16(0);
    }
    for (int y = first; y <= last; ++y) {
        RowSpan span = changed[static_cast<std::size_t>(y)];
        span.begin = std::clamp(span.begin, 0, picture.width);
        span.end = std::clamp(span.end, span.begin, picture.width);
        coder.row(picture.pixels + y * picture.stride, span);
    }
    coder.byte(0);  // a last skip code of 0: the picture ends
    const auto size = static_cast<std::uint32_t>(out.size());
    out[0] = static_cast<std::uint8_t>(size >> 24);
    out[1] = static_cast<std::uint8_t>(size >> 16);
    out[2] = static_cast<std::uint8_t>(size >> 8);
    out[3] = static_cast<std::uint8_t>(size);
    return out;
}

}  // namespace skelder::media
