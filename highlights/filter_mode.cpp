#include "highlights/filter_mode.hpp"

namespace skelder {

std::string_view textForm(HighlightFilterMode mode) {
    switch (mode) {
        case HighlightFilterMode::onlyBest:
            return "onlyBest";
        case HighlightFilterMode::maybeInteresting:
            return "maybeInteresting";
    }
    return "onlyBest";
}

std::string_view displayTitle(HighlightFilterMode mode) {
    switch (mode) {
        case HighlightFilterMode::onlyBest:
            return "Only Best Clips";
        case HighlightFilterMode::maybeInteresting:
            return "Maybe Interesting";
    }
    return "Only Best Clips";
}

std::optional<HighlightFilterMode> highlightFilterModeFromText(std::string_view text) {
    for (const auto mode : {HighlightFilterMode::onlyBest, HighlightFilterMode::maybeInteresting}) {
        if (textForm(mode) == text)
            return mode;
    }
    return std::nullopt;
}

std::string_view textForm(HighlightTier tier) {
    switch (tier) {
        case HighlightTier::best:
            return "best";
        case HighlightTier::maybeAdditional:
            return "maybeAdditional";
    }
    return "best";
}

}  // namespace skelder
