// The keyboard's lock states, where the window system tells them.
#pragma once

namespace tez {

struct LockStates {
    bool kana = false;
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The current lock states; all off where the window system does not tell them.
LockStates CurrentLockStates();

}  // namespace tez
