// The About box: the program's name and version.
#pragma once

#include <QDialog>

namespace tez {

inline constexpr const char* kAboutCaption = "tezplayerのﾊﾞｰｼﾞｮﾝ情報";
inline constexpr const char* kAboutVersionLine = "tezplayer Version 1.05";
inline constexpr const char* kAboutSecondLine = "Plays .tez scores as MIDI";

class CAboutDialog final : public QDialog {
  public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    // Runs the box modally until OK, Enter, Esc or the close box ends it.
    int DoModal() { return exec(); }
};

}  // namespace tez
