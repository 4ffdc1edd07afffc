#include "reference_decoder.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace skelder::kovra::test {

namespace {

struct Cursor {
    const std::vector<std::uint8_t>& bytes;
    std::size_t pos = 0;

    bool has(std::size_t n) const { return pos + n <= bytes.size(); }
    std::uint64_t be(int n) {
        if (!has(static_cast<std::size_t>(n)))
            throw std::runtime_error("read out of bounds");
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i)
            v = v << 8 | bytes[pos++];
        return v;
    }
    std::string text() {
        std::string s;
        while (true) {
            const auto c = static_cast<char>(be(1));
            if (c == 0)
                return s;
            s.push_back(c);
        }
    }
};

int widthOf(std::uint8_t type) {
    switch (type) {
        case 1:
        case 2:
            return 1;
        case 3:
        case 4:
            return 2;
        case 7:
        case 8:
        case 10:
            return 8;
        default:
            return 4;
    }
}

// Value and sign- or zero-extended bit pattern; nullopt for unknown codes or too few bytes.
std::optional<std::pair<double, std::uint64_t>> readRaw(Cursor& c, std::uint8_t type) {
    const int w = widthOf(type);
    if (!c.has(static_cast<std::size_t>(w)))
        return std::nullopt;
    const std::uint64_t u = c.be(w);
    const int shift = 64 - 8 * w;
    const auto s = static_cast<std::int64_t>(u << shift) >> shift;
    switch (type) {
        case 1:
        case 3:
        case 5:
        case 7:
            return {{double(s), std::uint64_t(s)}};
        case 2:
        case 4:
        case 6:
        case 8:
            return {{double(u), u}};
        case 9:
            return {{double(std::bit_cast<float>(std::uint32_t(u))), u}};
        case 10:
            return {{std::bit_cast<double>(u), u}};
        default:
            return std::nullopt;
    }
}

Box need(const Mp4Source& s, const Box& parent, const char* type) {
    const auto b = s.child(parent, type);
    if (!b)
        throw std::runtime_error(std::string("missing ") + type);
    return *b;
}

void readSampleEntry(const Mp4Source& s, const Box& adco, DecodedTrack& t) {
    std::map<std::uint16_t, std::uint8_t> rawTypes;
    for (const auto& child : s.children(adco, 8)) {
        const auto bytes = s.read(child.payload(), child.size - child.headerSize);
        Cursor c{bytes};
        if (child.type == "adcr") {
            const auto groups = c.be(1);
            for (std::uint64_t g = 0; g < groups; ++g) {
                c.be(1);
                const auto rateCount = c.be(1);
                for (std::uint64_t r = 0; r < rateCount; ++r) {
                    DecodedRate rate{c.be(8), {}};
                    const auto n = c.be(2);
                    for (std::uint64_t i = 0; i < n; ++i) {
                        const auto id = static_cast<std::uint16_t>(c.be(2));
                        const auto type = static_cast<std::uint8_t>(c.be(1));
                        rate.channels.emplace_back(id, type);
                        rawTypes[id] = type;
                    }
                    t.rates.push_back(rate);
                }
            }
        } else if (child.type == "adcp") {
            while (c.pos < bytes.size()) {
                const auto id = static_cast<std::uint16_t>(c.be(2));
                DecodedChannel ch;
                ch.tag = c.text();
                c.be(2);
                ch.calibrationType = static_cast<std::uint8_t>(c.be(1));
                const auto declared = static_cast<std::uint8_t>(c.be(1));
                const auto it = rawTypes.find(id);
                const std::uint8_t type = it != rawTypes.end() ? it->second : declared;
                if (ch.calibrationType == 1) {
                    ch.gain = std::bit_cast<double>(c.be(8));
                    ch.offset = std::bit_cast<double>(c.be(8));
                    if (type >= 1 && type <= 10) {  // unknown types store no limits
                        ch.minRaw = readRaw(c, type).value_or(std::pair{0.0, 0ull}).first;
                        ch.maxRaw = readRaw(c, type).value_or(std::pair{0.0, 0ull}).first;
                    }
                } else if (ch.calibrationType == 2) {
                    const int w = widthOf(declared);
                    const auto n = c.be(1);
                    for (std::uint64_t d = 0; d < n; ++d) {
                        c.text();
                        const auto v = c.be(w);
                        ch.mask = d == 0 ? v : ch.mask;
                        c.text();
                        c.be(w);
                        const auto options = c.be(1);
                        for (std::uint64_t o = 0; o < options; ++o) {
                            c.text();
                            c.be(w);
                        }
                    }
                }
                t.channels[id] = ch;
            }
        }
    }
}

void readSamples(const Mp4Source& s, const Box& stbl, DecodedTrack& t) {
    const auto table = [&](const char* type) {
        const Box b = need(s, stbl, type);
        return s.read(b.payload(), b.size - b.headerSize);
    };
    const auto stszBytes = table("stsz");
    Cursor stsz{stszBytes, 4};
    const auto defaultSize = stsz.be(4);
    const auto count = stsz.be(4);
    std::vector<std::uint64_t> sizes;
    for (std::uint64_t i = 0; i < count; ++i)
        sizes.push_back(defaultSize != 0 ? defaultSize : stsz.be(4));
    const bool co64 = !s.child(stbl, "stco").has_value();
    const auto chunkBytes = table(co64 ? "co64" : "stco");
    Cursor chunks{chunkBytes, 4};
    std::vector<std::uint64_t> offsets(chunks.be(4));
    for (auto& o : offsets)
        o = chunks.be(co64 ? 8 : 4);
    const auto stscBytes = table("stsc");
    Cursor stsc{stscBytes, 4};
    std::vector<std::array<std::uint64_t, 2>> runs(stsc.be(4));
    for (auto& r : runs) {
        r = {stsc.be(4), stsc.be(4)};
        stsc.be(4);
    }
    std::size_t k = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::uint64_t next = i + 1 < runs.size() ? runs[i + 1][0] : offsets.size() + 1;
        for (std::uint64_t chunk = runs[i][0]; chunk < next && chunk <= offsets.size(); ++chunk) {
            std::uint64_t at = offsets[chunk - 1];
            for (std::uint64_t j = 0; j < runs[i][1] && k < sizes.size(); ++j, ++k) {
                t.samples.push_back({at, sizes[k], 0});
                at += sizes[k];
            }
        }
    }
    const auto sttsBytes = table("stts");
    Cursor stts{sttsBytes, 4};
    const auto entries = stts.be(4);
    std::uint64_t decode = 0;
    std::size_t index = 0;
    for (std::uint64_t e = 0; e < entries; ++e) {
        const auto n = stts.be(4);
        const auto delta = stts.be(4);
        for (std::uint64_t j = 0; j < n && index < t.samples.size(); ++j, decode += delta)
            t.samples[index++].ptsSeconds = static_cast<double>(decode) / t.timescale;
    }
}

void decodePayloads(DecodedTrack& t) {
    std::uint64_t m = ~0ull;
    for (const auto& r : t.rates)
        m = std::min(m, r.intervalTicks);
    m = (m == ~0ull || m == 0) ? 1 : m;
    for (const auto& p : t.packets) {
        const auto pts = static_cast<std::int64_t>(t.samples[p.sampleIndex].ptsSeconds * 1e7);
        Cursor c{p.payload};
        for (std::uint64_t k = 0; c.pos < p.payload.size(); ++k) {
            const std::uint64_t headerTime = p.headerTicks + k * m;
            bool due = false;
            for (const auto& rate : t.rates) {
                if (rate.intervalTicks == 0 || headerTime % rate.intervalTicks != 0 ||
                    rate.channels.empty()) {
                    continue;
                }
                due = true;
                for (const auto& [id, type] : rate.channels) {
                    const auto raw = readRaw(c, type);
                    if (!raw)
                        return;
                    const auto& ch = t.channels.at(id);
                    double v = raw->first;
                    if (ch.calibrationType == 1) {
                        v = ch.offset + std::min(std::max(v, ch.minRaw), ch.maxRaw) * ch.gain;
                    } else if (ch.calibrationType == 2) {
                        v = static_cast<double>(raw->second & ch.mask);
                    }
                    t.values.push_back({id, v, pts + static_cast<std::int64_t>(k * m), headerTime});
                }
            }
            if (!due)
                break;
        }
    }
}

}  // namespace

DecodedTrack decodeTelemetry(const Mp4Source& s) {
    DecodedTrack t;
    const auto moov = s.find({"moov"});
    if (!moov)
        throw std::runtime_error("no moov");
    bool found = false;
    for (const auto& trak : s.children(*moov)) {
        if (trak.type != "trak")
            continue;
        const auto mdia = s.child(trak, "mdia");
        const auto hdlr = mdia ? s.child(*mdia, "hdlr") : std::nullopt;
        if (hdlr) {
            const auto h = s.read(hdlr->payload() + 8, 4);
            if (std::string(h.begin(), h.end()) == "adrv") {
                t.trak = trak;
                found = true;
                break;
            }
        }
    }
    if (!found)
        throw std::runtime_error("no adrv track");
    const Box mdia = need(s, t.trak, "mdia");
    const Box mdhd = need(s, mdia, "mdhd");
    const bool v1 = s.be(mdhd.payload(), 1) == 1;
    t.timescale = static_cast<std::uint32_t>(s.be(mdhd.payload() + (v1 ? 20 : 12), 4));
    const Box stbl = need(s, need(s, mdia, "minf"), "stbl");
    for (const auto& entry : s.children(need(s, stbl, "stsd"), 8)) {
        if (entry.type == "adco") {
            readSampleEntry(s, entry, t);
            break;
        }
    }
    readSamples(s, stbl, t);
    for (std::size_t i = 0; i < t.samples.size(); ++i) {
        const auto bytes = s.read(t.samples[i].offset, t.samples[i].size);
        Cursor c{bytes};
        while (c.has(14)) {
            DecodedPacket p{i, c.be(8), static_cast<std::uint16_t>(c.be(2)), {}};
            const auto length = c.be(4);
            if (!c.has(length))
                break;
            p.payload.assign(bytes.begin() + static_cast<std::ptrdiff_t>(c.pos),
                             bytes.begin() + static_cast<std::ptrdiff_t>(c.pos + length));
            c.pos += length;
            t.packets.push_back(std::move(p));
        }
    }
    decodePayloads(t);
    return t;
}

}  // namespace skelder::kovra::test
