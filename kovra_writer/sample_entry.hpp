#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kovra_writer/byte_writer.hpp"
#include "kovra_writer/kovra_channels.hpp"

namespace skelder::kovra {

// One record of the "adud" box: a 16-bit value and a UTF-8 text.
struct AdudRecord {
    std::uint16_t key = 0;
    std::string text = {};
};

// The record the writer puts in "adud" unless told otherwise.
std::vector<AdudRecord> defaultAdudRecords();

Bytes adudBox(const std::vector<AdudRecord>& records);

// "adcr": `rates` in groups of at most 255 (no group at all when `rates` is empty); throws
// std::invalid_argument beyond 255 groups.
Bytes adcrBox(const std::vector<Rate>& rates);

// "adcp": one parameter record per channel, in order, including channels without a rate.
Bytes adcpBox(const std::vector<ChannelDefinition>& channels);

// "adco" sample entry: 6 reserved bytes, data reference index 1, then `children` as given.
Bytes adcoBox(const std::vector<Bytes>& children);

// The sample entry the recorder writes: "adud" (when given), "adcr" from ratesOf(channels),
// "adcp".
Bytes adcoSampleEntryBox(const std::vector<ChannelDefinition>& channels,
                         const std::optional<std::vector<AdudRecord>>& adud);
// The same with the rate table given.
Bytes adcoSampleEntryBox(const std::vector<ChannelDefinition>& channels,
                         const std::optional<std::vector<AdudRecord>>& adud,
                         const std::vector<Rate>& rates);

}  // namespace skelder::kovra
