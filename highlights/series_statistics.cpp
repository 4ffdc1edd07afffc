#include "highlights/series_statistics.hpp"

#include <algorithm>
#include <cmath>

namespace skelder {

double percentileValue(std::span<const double> values, double fraction) {
    if (values.empty())
        return 0.0;
    const double clamped = std::isnan(fraction) ? 0.0 : std::clamp(fraction, 0.0, 1.0);
    const double last = static_cast<double>(values.size() - 1);
    const auto index = static_cast<std::size_t>(std::clamp(std::trunc(clamped * last), 0.0, last));
    // Only the element at one rank of the sorted order is needed, so a selection does.
    // A plain `<` is no strict weak order once a value is not a number, and using it is
    // undefined; ordering those values last keeps the selection well defined.
    std::vector<double> ranked(values.begin(), values.end());
    const auto nth = ranked.begin() + static_cast<std::ptrdiff_t>(index);
    std::nth_element(ranked.begin(), nth, ranked.end(),
                     [](double a, double b) { return a < b || (!std::isnan(a) && std::isnan(b)); });
    return *nth;
}

std::vector<double> trailingMean(std::span<const double> values, std::int64_t window) {
    if (values.empty() || window < 2)
        return {values.begin(), values.end()};
    const auto width = static_cast<std::size_t>(window);
    std::vector<double> means(values.size());
    double sum = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        sum += values[i];
        if (i >= width)
            sum -= values[i - width];
        means[i] = sum / static_cast<double>(std::min(i + 1, width));
    }
    return means;
}

}  // namespace skelder
