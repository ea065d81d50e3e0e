// The main frame's menu, accelerator table and toolbar.
#pragma once

#include <QKeySequence>
#include <QString>
#include <span>

namespace tez {

struct MenuItem {
    enum class Kind { kCommand, kSeparator, kRecentFiles };
    Kind kind;
    unsigned id;   // 0 for a separator
    QString text;  // "&" marks the mnemonic, "\t" precedes the shortcut shown
};

struct MenuPopup {
    QString title;
    std::span<const MenuItem> items;
};

struct Accelerator {
    QKeySequence keys;
    unsigned id;
};

// A toolbar slot: a button of command `id`, or a separator for id 0.
struct ToolBarSlot {
    unsigned id;
};

std::span<const MenuPopup> MainMenu();
std::span<const Accelerator> MainAccelerators();
std::span<const ToolBarSlot> MainToolBar();

// The toolbar bitmap holds one 16x15 image per button, side by side in button order.
inline constexpr int kToolBarImageWidth = 16;
inline constexpr int kToolBarImageHeight = 15;

}  // namespace tez
