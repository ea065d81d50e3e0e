// Loading a file into track cursors, and putting them back to the start.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "playback/smf_player.h"
#include "playback/tick_rate.h"

namespace tez {
namespace {

constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::uint32_t kMinHeaderLength = 6;

// A chunk as it stands in the file: its data may be cut short by the end of the file.
struct ChunkView {
    std::size_t offset;
    std::uint32_t length;
    bool cutShort;
};

std::vector<ChunkView> FindTrackChunks(std::span<const std::uint8_t> file, std::size_t offset,
                                       std::int32_t wanted) {
    std::vector<ChunkView> chunks;
    while (static_cast<std::int32_t>(chunks.size()) < wanted &&
           file.size() - offset >= kChunkHeaderSize) {
        const std::uint32_t declared = ReadBigEndian32(&file[offset + 4]);
        offset += kChunkHeaderSize;
        const std::size_t available = file.size() - offset;
        const bool cutShort = declared > available;
        const auto length = cutShort ? static_cast<std::uint32_t>(available) : declared;
        chunks.push_back(ChunkView{offset, length, cutShort});
        offset += length;
    }
    return chunks;
}

}  // namespace

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    // Read at the size the file has, so that a large file is not copied as the buffer grows;
    // a file that grows meanwhile (a pipe has no size) is read on in blocks.
    struct stat info = {};
    if (::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    }
    std::uint8_t block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.insert(bytes.end(), block, block + got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

const char* DescribeLoadResult(LoadResult result) {
    switch (result) {
        case LoadResult::kOk:
            return "ok";
        case LoadResult::kTruncated:
            return "the file is cut short; it plays as far as it goes";
        case LoadResult::kOpenFailed:
            return "file open error";
        case LoadResult::kHeaderIncomplete:
            return "not a midi file: the header chunk is incomplete";
        case LoadResult::kNoTiming:
            return "the division gives no timing; only the events at its start play";
    }
    return "unknown";
}

int CSmfPlayer::LoadFile(const char* path) {
    FreeTracks();
    std::vector<std::uint8_t> bytes;
    if (path == nullptr || !ReadWholeFile(path, bytes)) {
        m_loadResult = LoadResult::kOpenFailed;
        return 0;
    }
    return LoadBytes(bytes);
}

SmfLayout LayOutSmf(std::span<const std::uint8_t> file) {
    SmfLayout layout;
    if (file.size() < kChunkHeaderSize) {
        return layout;
    }
    const std::uint32_t headerLength = ReadBigEndian32(&file[4]);
    if (headerLength < kMinHeaderLength || headerLength > file.size() - kChunkHeaderSize) {
        return layout;
    }
    const std::uint8_t* header = &file[kChunkHeaderSize];
    const std::int32_t declaredTracks = ReadBigEndian16(header + 2);
    const auto chunks = FindTrackChunks(file, kChunkHeaderSize + headerLength, declaredTracks);
    layout.format = ReadBigEndian16(header);
    layout.division = ReadBigEndian16(header + 4);
    bool cutShort = static_cast<std::int32_t>(chunks.size()) < declaredTracks;
    for (const ChunkView& chunk : chunks) {
        layout.tracks.push_back({file.data() + chunk.offset, chunk.length});
        cutShort = cutShort || chunk.cutShort;
    }
    const bool clockStands = RateOf(layout.division, CSmfPlayer::kDefaultTempo).numerator == 0;
    layout.result = cutShort      ? LoadResult::kTruncated
                    : clockStands ? LoadResult::kNoTiming
                                  : LoadResult::kOk;
    return layout;
}

int CSmfPlayer::LoadBytes(std::span<const std::uint8_t> file) {
    FreeTracks();
    const SmfLayout layout = LayOutSmf(file);
    m_loadResult = layout.result;
    if (layout.result == LoadResult::kHeaderIncomplete) {
        return 0;
    }
    m_format = layout.format;
    m_division = layout.division;
    m_tracks = std::make_unique<TrackCursor[]>(layout.tracks.size());
    m_trackCount = static_cast<std::int32_t>(layout.tracks.size());
    for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
        TrackCursor& track = m_tracks[i];
        track.length = layout.tracks[i].length;
        track.data = std::make_unique_for_overwrite<std::uint8_t[]>(track.length);
        if (track.length > 0) {
            std::memcpy(track.data.get(), layout.tracks[i].data, track.length);
        }
        track.active.store(1);
    }
    m_tempo = kDefaultTempo;
    return 1;
}

void CSmfPlayer::FreeTracks() {
    m_index.reset();
    m_tracks.reset();
    m_trackCount = 0;
    m_nextDue = 0;
}

void CSmfPlayer::Rewind() {
    m_elapsedMs = 0;
    m_tickBase = 0;
    m_carry = 0;
    m_resumeTick = 0;
    for (std::int32_t i = 0; i < m_trackCount; ++i) {
        TrackCursor& track = m_tracks[i];
        track.pos = track.data.get();
        std::uint32_t firstDelta = 0;
        // A track too short to hold even its first delta time has nothing to play, nor
        // has one whose first event lies beyond a clock that stands at 0.
        const bool whole = ReadVarLen(track.pos, track.End(), firstDelta);
        track.time = firstDelta;
        track.eventIndex =
            m_index != nullptr ? m_index->FirstEvent(static_cast<std::size_t>(i)) : 0;
        track.active.store(whole && !(ClockStands() && firstDelta > 0) ? 1 : 0);
    }
    FindNextDue();
}

int CSmfPlayer::IsAnyTrackActive() const {
    for (std::int32_t i = 0; i < m_trackCount; ++i) {
        if (m_tracks[i].active.load() != 0) {
            return 1;
        }
    }
    return 0;
}

}  // namespace tez
