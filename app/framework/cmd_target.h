// Command routing: an object that may handle numbered commands.
#pragma once

namespace tez {

enum class CommandMode {
    kQuery,    // only say whether a handler exists (a command without one is shown disabled)
    kExecute,  // run the handler
};

class CCmdTarget {
  public:
    virtual ~CCmdTarget() = default;
    // True when this object's map, or a base class's map it chains to, has an entry for
    // `id`; with kExecute the entry's handler has then run.
    virtual bool OnCmdMsg(unsigned id, CommandMode mode) {
        (void)id;
        (void)mode;
        return false;
    }
};

// Runs `handler` for kExecute; answers true either way. For use in command maps.
template <typename Handler>
bool Handle(CommandMode mode, Handler&& handler) {
    if (mode == CommandMode::kExecute) {
        handler();
    }
    return true;
}

}  // namespace tez
