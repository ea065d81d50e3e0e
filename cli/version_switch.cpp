#include "version_switch.h"

#include <algorithm>
#include <new>

namespace tez::cli {

std::uint64_t ResumeTickAfterEdit(const NoteTable& before, const NoteTable& after,
                                  std::int32_t line, std::uint64_t now) {
    if (line < 1) {
        return now;
    }
    const std::optional<std::uint64_t> was = LineOnsetTick(before, line);
    const std::optional<std::uint64_t> is = LineOnsetTick(after, line);
    if (!was || !is || *was > now) {
        return now;
    }
    return *is + (now - *was);
}

std::optional<std::uint64_t> MoveToNewVersion(CSmfPlayer& player, const PlaybackPosition& position,
                                              const NoteTable& before, const NoteTable& after,
                                              std::span<const std::uint8_t> file, EventLines lines,
                                              const PlaybackOptions& range) {
    // Where the music stands is the first tick not sent yet; the notes sounding there go on
    // if the new version still has them.
    const std::uint64_t resume =
        ResumeTickAfterEdit(before, after, position.line.load(), player.Hold());
    PlaybackOptions options = range;
    options.loops = player.LoopsLeft() < 0 ? -1 : std::min(player.LoopsLeft(), range.loops);
    try {
        player.LoadBytes(file);
        player.SetSourceLines(std::move(lines));
        const std::uint64_t end = std::min(range.toTick, player.Index().EndTick());
        options.resumeTick.reset();
        if (resume > range.fromTick && resume < end) {
            options.resumeTick = resume;
        }
        player.SetOptions(options);
        player.PlayOn();
    } catch (const std::bad_alloc&) {
        // Neither version can go on: the playback ends rather than hang in silence.
        player.FreeTracks();
        return std::nullopt;
    }
    return options.resumeTick.value_or(range.fromTick);
}

}  // namespace tez::cli
