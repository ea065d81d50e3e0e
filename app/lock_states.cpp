#include "lock_states.h"

#include <QGuiApplication>

#ifdef TEZ_HAVE_X11
#include <X11/XKBlib.h>
#endif

namespace tez {

#ifdef TEZ_HAVE_X11
namespace {

bool NamedIndicatorOn(Display* display, const char* name) {
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None) {
        return false;
    }
    Bool on = False;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) {
        return false;
    }
    return on != False;
}

}  // namespace

LockStates CurrentLockStates() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->display() == nullptr) {
        return {};
    }
    Display* display = x11->display();
    return {NamedIndicatorOn(display, "Kana"), NamedIndicatorOn(display, "Caps Lock"),
            NamedIndicatorOn(display, "Num Lock"), NamedIndicatorOn(display, "Scroll Lock")};
}
#else
LockStates CurrentLockStates() {
    return {};
}
#endif

}  // namespace tez
