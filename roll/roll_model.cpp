#include "roll/roll_model.h"

#include <algorithm>
#include <numeric>

namespace tez::roll {
namespace {

// Notes per block of the end index: a visible span is found to within one block.
constexpr std::size_t kBlockNotes = 256;

void FillTempoTimes(std::vector<TempoPoint>& tempos) {
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const TempoPoint& a, const TempoPoint& b) { return a.tick < b.tick; });
    for (std::size_t i = 1; i < tempos.size(); ++i) {
        const TempoPoint& before = tempos[i - 1];
        tempos[i].seconds = before.seconds + static_cast<double>(tempos[i].tick - before.tick) *
                                                 before.secondsPerTick;
    }
}

// A piece with fewer notes is laid out from its notes at every zoom, quickly enough.
constexpr std::size_t kOverviewNotes = 262144;
constexpr std::uint32_t kOverviewBins = 2048;
constexpr int kKeys = 128;

std::uint16_t OverviewCell(const RollNote& note) {
    return static_cast<std::uint16_t>((note.velocity + 1) << 4 | note.channel);
}

// Each key's bins as the leaves of a tree: a note raises the few nodes that cover its span,
// so a long note costs no more than a short one, and each leaf then takes the loudest of the
// nodes above it.
RollOverview BuildOverview(const std::vector<RollNote>& notes, std::uint64_t endTick) {
    RollOverview overview;
    overview.bins = kOverviewBins;
    overview.binTicks = endTick / kOverviewBins + 1;
    const std::size_t width = 2 * kOverviewBins;
    std::vector<std::uint16_t> tree(kKeys * width);
    for (const RollNote& note : notes) {
        std::uint16_t* nodes = &tree[note.key * width];
        const std::uint16_t cell = OverviewCell(note);
        std::size_t low = note.start / overview.binTicks + kOverviewBins;
        const std::uint64_t last = std::max(note.End(), note.start + 1) - 1;
        std::size_t high = last / overview.binTicks + kOverviewBins + 1;
        for (; low < high; low /= 2, high /= 2) {
            if ((low & 1) != 0) {
                nodes[low] = std::max(nodes[low], cell);
                ++low;
            }
            if ((high & 1) != 0) {
                --high;
                nodes[high] = std::max(nodes[high], cell);
            }
        }
    }
    overview.cells.resize(kKeys * kOverviewBins);
    for (int key = 0; key < kKeys; ++key) {
        std::uint16_t* nodes = &tree[static_cast<std::size_t>(key) * width];
        for (std::size_t i = 2; i < width; ++i) {
            nodes[i] = std::max(nodes[i], nodes[i / 2]);
        }
        std::copy(nodes + kOverviewBins, nodes + width,
                  overview.cells.begin() + static_cast<std::ptrdiff_t>(key * kOverviewBins));
    }
    return overview;
}

}  // namespace

RollModel::RollModel(RollContent content)
    : m_notes(std::move(content.notes)),
      m_pedals(std::move(content.pedals)),
      m_markers(std::move(content.markers)),
      m_tempos(std::move(content.tempos)),
      m_endTick(content.endTick),
      m_ticksPerBeat(content.ticksPerBeat > 0 ? content.ticksPerBeat : 120),
      m_barOrigin(content.barOrigin) {
    if (m_tempos.empty() || m_tempos.front().tick != 0) {
        m_tempos.insert(m_tempos.begin(), TempoPoint{0, 0, 0.5 / m_ticksPerBeat});
    }
    FillTempoTimes(m_tempos);
    std::stable_sort(m_notes.begin(), m_notes.end(),
                     [](const RollNote& a, const RollNote& b) { return a.start < b.start; });
    std::uint64_t latest = 0;
    std::uint8_t low = 127;
    std::uint8_t high = 0;
    for (std::size_t i = 0; i < m_notes.size(); ++i) {
        const RollNote& note = m_notes[i];
        latest = std::max(latest, note.End());
        if (i % kBlockNotes == kBlockNotes - 1 || i + 1 == m_notes.size()) {
            m_blockEnds.push_back(latest);
        }
        m_noteChannels |= static_cast<std::uint16_t>(1u << note.channel);
        low = std::min(low, note.key);
        high = std::max(high, note.key);
    }
    if (!m_notes.empty()) {
        m_lowKey = low;
        m_highKey = high;
    }
    m_endTick = std::max(m_endTick, latest);
    for (const PedalSpan& pedal : m_pedals) {
        m_pedalChannels |= static_cast<std::uint16_t>(1u << pedal.channel);
    }
    if (m_notes.size() >= kOverviewNotes) {
        m_overview = BuildOverview(m_notes, m_endTick);
    }
    m_byLine.resize(m_notes.size());
    std::iota(m_byLine.begin(), m_byLine.end(), 0u);
    std::stable_sort(m_byLine.begin(), m_byLine.end(), [this](std::uint32_t a, std::uint32_t b) {
        return m_notes[a].line < m_notes[b].line;
    });
}

RollModel::Range RollModel::Overlapping(std::uint64_t from, std::uint64_t to) const {
    // The first block in which some note still sounds at `from`.
    const auto block = std::upper_bound(m_blockEnds.begin(), m_blockEnds.end(), from);
    const std::size_t first = std::min(
        static_cast<std::size_t>(block - m_blockEnds.begin()) * kBlockNotes, m_notes.size());
    const auto last = std::lower_bound(
        m_notes.begin() + static_cast<std::ptrdiff_t>(first), m_notes.end(), to,
        [](const RollNote& note, std::uint64_t tick) { return note.start < tick; });
    return {first, static_cast<std::size_t>(last - m_notes.begin())};
}

NoteIndices RollModel::NotesOfLines(std::int32_t first, std::int32_t last) const {
    const auto lineOf = [this](std::uint32_t index) { return m_notes[index].line; };
    const auto begin = std::lower_bound(
        m_byLine.begin(), m_byLine.end(), first,
        [&](std::uint32_t index, std::int32_t line) { return lineOf(index) < line; });
    const auto end = std::upper_bound(
        begin, m_byLine.end(), last,
        [&](std::int32_t line, std::uint32_t index) { return line < lineOf(index); });
    return NoteIndices(m_byLine.data() + (begin - m_byLine.begin()),
                       static_cast<std::size_t>(end - begin));
}

double RollModel::SecondsAt(std::uint64_t tick) const {
    const auto after =
        std::upper_bound(m_tempos.begin(), m_tempos.end(), tick,
                         [](std::uint64_t t, const TempoPoint& point) { return t < point.tick; });
    const TempoPoint& point = *(after - 1);
    return point.seconds + static_cast<double>(tick - point.tick) * point.secondsPerTick;
}

double RollModel::BeatsPerMinuteAt(std::uint64_t tick) const {
    const auto after =
        std::upper_bound(m_tempos.begin(), m_tempos.end(), tick,
                         [](std::uint64_t t, const TempoPoint& point) { return t < point.tick; });
    const double secondsPerBeat = (after - 1)->secondsPerTick * m_ticksPerBeat;
    return secondsPerBeat > 0 ? 60.0 / secondsPerBeat : 0;
}

std::uint64_t RollModel::TickAtSeconds(double seconds) const {
    if (seconds <= 0) {
        return 0;
    }
    const auto after =
        std::upper_bound(m_tempos.begin(), m_tempos.end(), seconds,
                         [](double s, const TempoPoint& point) { return s < point.seconds; });
    const TempoPoint& point = *(after - 1);
    if (point.secondsPerTick <= 0) {
        return point.tick;
    }
    return point.tick +
           static_cast<std::uint64_t>((seconds - point.seconds) / point.secondsPerTick + 0.5);
}

std::size_t RollModel::BytesHeld() const {
    std::size_t markerText = 0;
    for (const RollMarker& marker : m_markers) {
        markerText += marker.text.capacity();
    }
    return m_notes.capacity() * sizeof(RollNote) + m_blockEnds.capacity() * sizeof(std::uint64_t) +
           m_byLine.capacity() * sizeof(std::uint32_t) + m_pedals.capacity() * sizeof(PedalSpan) +
           m_markers.capacity() * sizeof(RollMarker) + markerText +
           m_tempos.capacity() * sizeof(TempoPoint);
}

}  // namespace tez::roll
