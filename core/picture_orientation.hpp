#pragma once

namespace skelder {

// How players show a recording's stored picture, as its video track's display matrix says:
// mirrored left to right first when `mirrored`, then turned clockwise by `clockwiseDegrees`
// (0, 90, 180 or 270). A recorder mounted sideways or upside down stores its picture this way
// and leaves the turn to the player.
struct PictureOrientation {
    int clockwiseDegrees = 0;
    bool mirrored = false;

    bool isQuarterTurn() const { return clockwiseDegrees == 90 || clockwiseDegrees == 270; }
    friend bool operator==(const PictureOrientation&, const PictureOrientation&) = default;
};

}  // namespace skelder
