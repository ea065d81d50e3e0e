#include "resources.h"

#include <array>

#include "framework/command_ids.h"
#include "resource_ids.h"

namespace tez {

namespace {

using Kind = MenuItem::Kind;

const std::array<MenuItem, 9> kFileItems = {{
    {Kind::kCommand, ids::kFileOpen, QStringLiteral("開く(&O)...\tCtrl+O")},
    {Kind::kCommand, ids::kImportMidi, QStringLiteral("MIDIを読み込む(&I)...\tCtrl+I")},
    {Kind::kCommand, ids::kSaveToScore, QStringLiteral("ｽｺｱに保存(&W)\tCtrl+Shift+S")},
    {Kind::kCommand, ids::kSaveAs, QStringLiteral("名前を付けて保存(&A)...\tF12")},
    {Kind::kCommand, ids::kReopenInEncoding, QStringLiteral("文字ｺｰﾄﾞを指定して開き直す(&E)...")},
    {Kind::kSeparator, 0, QString()},
    {Kind::kRecentFiles, ids::kFileMruFile1, QStringLiteral("最近使ったﾌｧｲﾙ")},
    {Kind::kSeparator, 0, QString()},
    {Kind::kCommand, ids::kAppExit, QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)")},
}};

const std::array<MenuItem, 1> kHelpItems = {{
    {Kind::kCommand, ids::kAppAbout, QStringLiteral("tezplayer のﾊﾞｰｼﾞｮﾝ情報(&A)...")},
}};

const std::array<MenuItem, 10> kPlayItems = {{
    {Kind::kCommand, ids::kPlayFromCursor, QStringLiteral("ｶｰｿﾙ位置から演奏(&C)\tF5")},
    {Kind::kCommand, ids::kPause, QStringLiteral("一時停止(&P)\tShift+F5")},
    {Kind::kSeparator, 0, QString()},
    {Kind::kCommand, ids::kTempoSlower, QStringLiteral("ﾃﾝﾎﾟを下げる(&S)\tF7")},
    {Kind::kCommand, ids::kTempoFaster, QStringLiteral("ﾃﾝﾎﾟを上げる(&U)\tF8")},
    {Kind::kCommand, ids::kTransposeDown, QStringLiteral("半音下げる(&D)\tShift+F7")},
    {Kind::kCommand, ids::kTransposeUp, QStringLiteral("半音上げる(&T)\tShift+F8")},
    {Kind::kCommand, ids::kPlainTempoAndKey, QStringLiteral("ﾃﾝﾎﾟと移調を元に戻す(&R)\tCtrl+F7")},
    {Kind::kSeparator, 0, QString()},
    {Kind::kCommand, ids::kFollowFile, QStringLiteral("ﾌｧｲﾙの保存を追従(&W)\tF9")},
}};

const std::array<MenuItem, 1> kViewItems = {{
    {Kind::kCommand, ids::kPianoRoll, QStringLiteral("ﾋﾟｱﾉﾛｰﾙ(&P)\tF4")},
}};

const std::array<MenuPopup, 4> kMenu = {{
    {QStringLiteral("ﾌｧｲﾙ(&F)"), kFileItems},
    {QStringLiteral("演奏(&P)"), kPlayItems},
    {QStringLiteral("表示(&V)"), kViewItems},
    {QStringLiteral("ﾍﾙﾌﾟ(&H)"), kHelpItems},
}};

const std::array<Accelerator, 25> kAccelerators = {{
    {QKeySequence(Qt::CTRL | Qt::Key_N), ids::kFileNew},
    {QKeySequence(Qt::CTRL | Qt::Key_O), ids::kFileOpen},
    {QKeySequence(Qt::CTRL | Qt::Key_S), ids::kFileSave},
    {QKeySequence(Qt::CTRL | Qt::Key_Z), ids::kEditUndo},
    {QKeySequence(Qt::CTRL | Qt::Key_X), ids::kEditCut},
    {QKeySequence(Qt::CTRL | Qt::Key_C), ids::kEditCopy},
    {QKeySequence(Qt::CTRL | Qt::Key_V), ids::kEditPaste},
    {QKeySequence(Qt::ALT | Qt::Key_Backspace), ids::kEditUndo},
    {QKeySequence(Qt::SHIFT | Qt::Key_Delete), ids::kEditCut},
    {QKeySequence(Qt::CTRL | Qt::Key_Insert), ids::kEditCopy},
    {QKeySequence(Qt::SHIFT | Qt::Key_Insert), ids::kEditPaste},
    {QKeySequence(Qt::Key_F6), ids::kNextPane},
    {QKeySequence(Qt::SHIFT | Qt::Key_F6), ids::kPrevPane},
    {QKeySequence(Qt::Key_F5), ids::kPlayFromCursor},
    {QKeySequence(Qt::Key_F7), ids::kTempoSlower},
    {QKeySequence(Qt::Key_F8), ids::kTempoFaster},
    {QKeySequence(Qt::SHIFT | Qt::Key_F7), ids::kTransposeDown},
    {QKeySequence(Qt::SHIFT | Qt::Key_F8), ids::kTransposeUp},
    {QKeySequence(Qt::CTRL | Qt::Key_F7), ids::kPlainTempoAndKey},
    {QKeySequence(Qt::Key_F9), ids::kFollowFile},
    {QKeySequence(Qt::Key_F4), ids::kPianoRoll},
    {QKeySequence(Qt::SHIFT | Qt::Key_F5), ids::kPause},
    {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), ids::kSaveToScore},
    {QKeySequence(Qt::Key_F12), ids::kSaveAs},
    {QKeySequence(Qt::CTRL | Qt::Key_I), ids::kImportMidi},
}};

const std::array<ToolBarSlot, 11> kToolBar = {{
    {ids::kFileNew},
    {ids::kFileOpen},
    {ids::kFileSave},
    {0},
    {ids::kEditCut},
    {ids::kEditCopy},
    {ids::kEditPaste},
    {0},
    {ids::kFilePrint},
    {0},
    {ids::kAppAbout},
}};

}  // namespace

std::span<const MenuPopup> MainMenu() {
    return kMenu;
}
std::span<const Accelerator> MainAccelerators() {
    return kAccelerators;
}
std::span<const ToolBarSlot> MainToolBar() {
    return kToolBar;
}

}  // namespace tez
