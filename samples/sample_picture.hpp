#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace skelder::samples {

// One 8-bit plane of a picture.
struct Plane {
    std::uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;
};

// A 4:2:0 picture in limited-range YUV: chroma planes are half the size in both directions.
struct YuvPicture {
    Plane y;
    Plane u;
    Plane v;
};

// What one sample picture shows: the drive seen from the driver's seat at one instant.
struct PictureContent {
    std::int64_t frameNumber = 0;
    std::string elapsedText;    // "MM:SS.mmm"
    double seconds = 0;         // drives the clouds' slow drift
    double distanceMetres = 0;  // moves the kerbs and the grass, so they stop when the car stops
    double steeringAngleRadians = 0;  // steering wheel, positive to the right: bends the road
};

// "MM:SS.mmm" for the start of a frame at a frame rate of numerator/denominator, milliseconds
// rounded down; minutes grow beyond two digits when needed.
std::string elapsedText(std::int64_t frameNumber, int rateNumerator, int rateDenominator);

// Paints the whole picture: the view from the driver's seat (sky, horizon, the track with its
// kerbs and grass streaming past and bending with the steering, the car's bonnet), drawn with
// Cairo; over it, on dark plates where the HUD never draws, the frame code (frame_code.hpp)
// between the HUD's top and bottom parts and, just under it, the elapsed time and
// "#<frame number>" in small seven-segment digits.
void paintSamplePicture(const PictureContent& content, YuvPicture& picture);

// The dark plates of a picture of this size (as it is shown, upright), in pixels from the top
// left, right and bottom excluded: the frame code's, and the clock's for this clock text
// ("MM:SS.mmm  #<frame number>").
struct PlateBox {
    int left = 0, top = 0, right = 0, bottom = 0;
};
struct SamplePlates {
    PlateBox code;
    PlateBox clock;
};
SamplePlates samplePlates(int width, int height, std::string_view clock);

// Seven-segment text in the luma plane on a dark plate, chroma made neutral; digits, ':', '.'
// and '#'. Returns the width drawn.
int drawSegmentText(YuvPicture& picture, std::string_view text, int left, int top, int height);
int segmentTextWidth(std::string_view text, int height);

}  // namespace skelder::samples
