#include "playback/playback_options.h"

namespace tez {

bool PlaybackOptions::IsWholeFile() const {
    return fromTick == 0 && fromMilliseconds.value_or(0) == 0 && toTick == kEndOfFile && loops == 0 && tempoFactor == 1.0 &&
           transpose == 0 && mutedChannels == 0 && soloChannels == 0 && !resumeTick;
}

}  // namespace tez
