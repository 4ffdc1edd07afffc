#pragma once

#include <optional>
#include <string_view>

namespace skelder {

// How generous the highlight search is: the strict plan alone, or the lenient plan as well.
enum class HighlightFilterMode { onlyBest, maybeInteresting };

// Whether the strict plan found a segment too (best) or only the lenient one did.
enum class HighlightTier { best, maybeAdditional };

// The stable text form ("onlyBest", "maybeInteresting"); part of session cache keys.
std::string_view textForm(HighlightFilterMode mode);
// The title shown to the user ("Only Best Clips", "Maybe Interesting").
std::string_view displayTitle(HighlightFilterMode mode);
// The mode whose text form this is, or nothing.
std::optional<HighlightFilterMode> highlightFilterModeFromText(std::string_view text);

// "best" or "maybeAdditional".
std::string_view textForm(HighlightTier tier);

}  // namespace skelder
