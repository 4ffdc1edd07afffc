#include "media/memory_budget.hpp"

#include <algorithm>

namespace skelder::media {
namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kEncoderBudgetBytes = 320 * kMiB;
constexpr double kDecoderBudgetBytes = 48 * kMiB;
constexpr double kEncoderQueueBudgetBytes = 32 * kMiB;
constexpr double kRenderBudgetBytes = 96 * kMiB;
constexpr double kHeldPicturesBudgetBytes = 24 * kMiB;

double pictureBytes(int width, int height) {
    return std::max(width, 1) * static_cast<double>(std::max(height, 1)) * 1.5;
}

}  // namespace

EncoderThreading encoderThreadingFor(int width, int height, unsigned cores) {
    const double pictures = kEncoderBudgetBytes / pictureBytes(width, height);
    const int available = static_cast<int>(std::max(cores, 1u));
    // x264's own choice: one and a half threads a core.
    const int automatic = std::max(1, available * 3 / 2);
    const int affordable = static_cast<int>((pictures - 40) / 8);
    if (affordable >= automatic)
        return {};
    if (affordable >= 1)
        return {affordable, false, -1, -1};
    const int lean = static_cast<int>((pictures - 12) / 6);
    if (lean >= available)
        return {available, false, 0, 3, false};
    // Slice threads with one B-frame and as much lookahead as fits, at least 3 frames.
    const int lookahead = std::clamp(static_cast<int>((pictures - 19) / 1.85), 3, 10);
    return {available, true, 1, lookahead};
}

int decoderThreadsFor(int width, int height, unsigned cores) {
    const int automatic = static_cast<int>(std::max(cores, 1u)) + 1;
    const int affordable =
        static_cast<int>(kDecoderBudgetBytes / (2 * pictureBytes(width, height)));
    return std::clamp(affordable, 1, automatic);
}

int decodedPicturesHeldFor(int width, int height) {
    const int affordable = static_cast<int>(kHeldPicturesBudgetBytes / pictureBytes(width, height));
    // Fewer than four frames rarely outwait the decoder: not worth their memory.
    return affordable < 4 ? 0 : std::min(affordable, 6);
}

int encoderQueueCapacityFor(int width, int height) {
    return std::clamp(static_cast<int>(kEncoderQueueBudgetBytes / pictureBytes(width, height)), 1,
                      3);
}

int renderWorkersFor(int width, int height, int requested) {
    const double perFrame = pictureBytes(width, height) * (4.0 / 1.5 + 2);
    const int affordable = static_cast<int>(kRenderBudgetBytes / perFrame);
    return std::clamp(affordable, 1, std::max(requested, 1));
}

}  // namespace skelder::media
