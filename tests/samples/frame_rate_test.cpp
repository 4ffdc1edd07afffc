#include "samples/frame_rate.hpp"

#include <gtest/gtest.h>

namespace skelder::samples {
namespace {

TEST(FrameRate, ReadsWholeDecimalAndFractionalRates) {
    EXPECT_EQ(parseFrameRate("30"), (FrameRate{30, 1}));
    EXPECT_EQ(parseFrameRate("25.0"), (FrameRate{25, 1}));
    EXPECT_EQ(parseFrameRate("12.5"), (FrameRate{25, 2}));
    EXPECT_EQ(parseFrameRate("29.9"), (FrameRate{299, 10}));
    EXPECT_EQ(parseFrameRate("30000/1001"), (FrameRate{30000, 1001}));
    EXPECT_EQ(parseFrameRate("60/2"), (FrameRate{30, 1}));
}

TEST(FrameRate, BroadcastDecimalsBecomeTheirExactFractions) {
    EXPECT_EQ(parseFrameRate("29.97"), (FrameRate{30000, 1001}));
    EXPECT_EQ(parseFrameRate("23.976"), (FrameRate{24000, 1001}));
    EXPECT_EQ(parseFrameRate("59.94"), (FrameRate{60000, 1001}));
    EXPECT_EQ(parseFrameRate("119.88"), (FrameRate{120000, 1001}));
    EXPECT_NEAR(parseFrameRate("29.97")->value(), 29.97002997, 1e-8);
}

TEST(FrameRate, RejectsTextThatIsNoPositiveRate) {
    for (const char* text :
         {"", "0", "0/1", "30/0", "-30", "+30", "abc", "30fps", "1e2", ".5", "30.", "3/", "/3",
          "30/1001/2", "1.2.3", "30.0000001", "99999999999"}) {
        EXPECT_EQ(parseFrameRate(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace skelder::samples
