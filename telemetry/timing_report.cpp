#include <fmt/format.h>
#include <fmt/printf.h>

#include <algorithm>
#include <limits>

#include "telemetry/extraction_service.hpp"

namespace skelder {
namespace {

constexpr double kTicksPerSecond = 10'000'000.0;
constexpr std::size_t kReportedPacketRows = 8;

double headerSeconds(const PacketRecord& packet) {
    return static_cast<double>(packet.timestampTicks) / kTicksPerSecond;
}

}  // namespace

std::optional<double> medianHeaderMinusPTS(const std::vector<PacketRecord>& packetRecords) {
    std::vector<double> differences;
    for (const PacketRecord& packet : packetRecords) {
        if (packet.samplePTSSeconds) {
            differences.push_back(headerSeconds(packet) - *packet.samplePTSSeconds);
        }
    }
    if (differences.empty())
        return std::nullopt;
    const auto middle = differences.begin() + static_cast<std::ptrdiff_t>(differences.size() / 2);
    std::nth_element(differences.begin(), middle, differences.end());
    return *middle;
}

std::vector<std::string> telemetryTimingReport(const std::vector<PacketRecord>& packetRecords,
                                               const DecisecondGrid& overlaySamplesByDecisecond,
                                               std::optional<double> headerMinusPTSSeconds) {
    if (packetRecords.empty())
        return {"no packets decoded"};
    std::vector<std::string> lines;
    lines.push_back(fmt::sprintf("packets=%d overlay_ticks=%d", packetRecords.size(),
                                 overlaySamplesByDecisecond.size()));

    double headerMin = std::numeric_limits<double>::infinity();
    double headerMax = -std::numeric_limits<double>::infinity();
    double ptsMin = headerMin, ptsMax = headerMax;
    double differenceMin = headerMin, differenceMax = headerMax, differenceSum = 0;
    std::size_t withPTS = 0;
    for (const PacketRecord& packet : packetRecords) {
        const double header = headerSeconds(packet);
        headerMin = std::min(headerMin, header);
        headerMax = std::max(headerMax, header);
        if (!packet.samplePTSSeconds)
            continue;
        const double pts = *packet.samplePTSSeconds;
        const double difference = header - pts;
        ptsMin = std::min(ptsMin, pts);
        ptsMax = std::max(ptsMax, pts);
        differenceMin = std::min(differenceMin, difference);
        differenceMax = std::max(differenceMax, difference);
        differenceSum += difference;
        ++withPTS;
    }
    lines.push_back(fmt::sprintf("header_time_range=%.3f..%.3f sec", headerMin, headerMax));
    if (withPTS > 0) {
        lines.push_back(fmt::sprintf("sample_pts_range=%.3f..%.3f sec", ptsMin, ptsMax));
        lines.push_back(fmt::sprintf("header_minus_pts avg=%.3f min=%.3f max=%.3f sec",
                                     differenceSum / static_cast<double>(withPTS), differenceMin,
                                     differenceMax));
    } else {
        lines.push_back("sample_pts_range=na");
        lines.push_back("header_minus_pts=na");
    }
    if (headerMinusPTSSeconds) {
        lines.push_back(
            fmt::sprintf("applied_mapping=per_packet_pts (median_header_minus_pts=%.3f sec)",
                         *headerMinusPTSSeconds));
    } else {
        lines.push_back("applied_mapping=header_time_only (no packet pts mapping)");
    }
    if (!overlaySamplesByDecisecond.empty()) {
        lines.push_back(
            fmt::sprintf("overlay_time_range=%.3f..%.3f sec",
                         static_cast<double>(overlaySamplesByDecisecond.firstKey()) / 10.0,
                         static_cast<double>(overlaySamplesByDecisecond.lastKey()) / 10.0));
    } else {
        lines.push_back("overlay_time_range=na");
    }
    lines.push_back("packet rows: idx sample pts header d(sec)");
    const std::size_t rows = std::min(packetRecords.size(), kReportedPacketRows);
    for (std::size_t idx = 0; idx < rows; ++idx) {
        const PacketRecord& packet = packetRecords[idx];
        const double header = headerSeconds(packet);
        if (packet.samplePTSSeconds) {
            const double pts = *packet.samplePTSSeconds;
            lines.push_back(fmt::sprintf("%3d %6d %8.3f %8.3f %+7.3f", idx, packet.sampleIndex, pts,
                                         header, header - pts));
        } else {
            lines.push_back(fmt::sprintf("%d %d na %.3f na", idx, packet.sampleIndex, header));
        }
    }
    return lines;
}

}  // namespace skelder
