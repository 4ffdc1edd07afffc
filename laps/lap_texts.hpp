#pragma once

#include <string>

namespace skelder::laps {

// A lap's time as drivers read it: "1:43.271" (minutes, seconds to the thousandth).
std::string lapTimeText(double seconds);

// A lap's gap to the best: "+0.412", "-0.080", "+1:02.500" from a minute on.
std::string lapGapText(double seconds);

}  // namespace skelder::laps
