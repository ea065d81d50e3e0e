// The straightforward merge, scanning every slot at every step: slow, but plainly the
// rule the file follows. The fast writer is checked against it on many random scores.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "score/note_table.h"
#include "score/smf_writer.h"

namespace tez::testing {

inline void ReferenceVarLen(std::vector<std::uint8_t>& out, std::uint64_t value) {
    std::uint8_t groups[4];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value != 0 && n < 4);
    while (n > 1)
        out.push_back(0x80 | groups[--n]);
    out.push_back(groups[0]);
}

inline std::vector<std::uint8_t> ReferenceScoreMidiFile(NoteTable table) {
    std::vector<std::uint8_t> out = {'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,    0,
                                     0,    1,    0,    120,  'M',  'T',  'r',  'k',  0,    0,
                                     0,    0,    0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,
                                     0x00, 0xFF, 0x51, 0x03, 0x07, 0x53, 0x00, 0x78, 0xFF, 0x06,
                                     0x05, 's',  't',  'a',  'r',  't'};
    const std::int32_t last = table.lastIndex;
    std::vector<SoundingNote> slots(static_cast<std::size_t>(last + 1));
    std::vector<NoteRecord>& records = table.records;
    std::uint64_t carried = 0;
    auto anyActive = [&] {
        for (const SoundingNote& s : slots) {
            if (s.active)
                return true;
        }
        return false;
    };
    auto channel = [](std::int32_t c) { return static_cast<std::uint8_t>(c & 0x0F); };
    auto clamp127 = [](std::int32_t v) { return static_cast<std::uint8_t>(v > 127 ? 127 : v); };
    std::int32_t i = 0;
    while (i <= last || anyActive()) {
        std::int64_t d = i <= last ? records[i].interval : std::numeric_limits<std::int64_t>::max();
        int winner = -1;
        for (int s = 0; s <= last; ++s) {
            if (slots[s].active && slots[s].remaining <= d) {
                winner = s;
                d = slots[s].remaining;
            }
        }
        for (SoundingNote& s : slots) {
            if (s.active)
                s.remaining -= static_cast<std::int32_t>(d);
        }
        if (winner >= 0) {
            ReferenceVarLen(out, carried + d);
            carried = 0;
            out.insert(out.end(), {static_cast<std::uint8_t>(0x80 | slots[winner].channel),
                                   static_cast<std::uint8_t>(slots[winner].key), 0});
            slots[winner].active = 0;
            if (i <= last)
                records[i].interval -= static_cast<std::int32_t>(d);
            continue;
        }
        const NoteRecord& r = records[i];
        std::vector<std::uint8_t> events;
        if (r.key == 128) {
            events = {static_cast<std::uint8_t>(0xB0 | channel(r.channel)), 0x40,
                      static_cast<std::uint8_t>(r.velocity > 64 ? 0x7F : 0)};
        } else if (r.key >= 0) {
            events = {static_cast<std::uint8_t>(0x90 | channel(r.channel)), clamp127(r.key),
                      clamp127(r.velocity)};
            for (SoundingNote& s : slots) {
                if (!s.active) {
                    s = {clamp127(r.key), r.length, channel(r.channel), 1};
                    break;
                }
            }
        }
        if (r.marker != 0) {
            if (!events.empty())
                events.push_back(0);
            const std::string text =
                std::to_string(r.marker < 100 ? r.marker : r.marker % 1000 + 1000);
            const std::string digits = r.marker < 100 ? text : text.substr(1);
            events.insert(events.end(), {0xFF, 0x06, static_cast<std::uint8_t>(digits.size())});
            events.insert(events.end(), digits.begin(), digits.end());
        }
        if (events.empty()) {
            carried += static_cast<std::uint64_t>(d);
        } else {
            ReferenceVarLen(out, carried + d);
            carried = 0;
            out.insert(out.end(), events.begin(), events.end());
        }
        ++i;
    }
    ReferenceVarLen(out, carried + 100);
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    const auto length = static_cast<std::uint32_t>(out.size() - 22);
    for (int b = 0; b < 4; ++b)
        out[18 + b] = static_cast<std::uint8_t>(length >> (24 - 8 * b));
    return out;
}

}  // namespace tez::testing
