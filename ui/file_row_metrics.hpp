#pragma once

// The proportions of a file row in the sidebar, in points.

namespace skelder::ui {

inline constexpr int kFileRowMinimumHeight = 72;
inline constexpr int kInclusionWidth = 24;
inline constexpr int kInclusionHeight = 40;
inline constexpr int kInclusionSymbolSize = 20;
inline constexpr int kThumbnailWidth = 64;
inline constexpr int kThumbnailHeight = 40;
inline constexpr double kThumbnailCornerRadius = 6;
inline constexpr int kRowSpacing = 10;
inline constexpr int kRowPadding = 4;
// The rounded hover and selection background inside the list's edges.
inline constexpr int kRowInset = 6;
inline constexpr double kRowCornerRadius = 7;

}  // namespace skelder::ui
