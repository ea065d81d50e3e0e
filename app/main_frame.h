// The main frame: menu, the toolbar, the status bar and the form inside them.
#pragma once

#include <QLabel>
#include <array>

#include "framework/frame_wnd.h"

class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;

namespace tez {

class CMainFrame final : public CFrameWnd {
  public:
    CMainFrame() = default;

    QToolBar* ToolBar() const { return m_toolBar; }
    QStatusBar* StatusBar() const { return m_statusBar; }
    // The status bar's message pane: the idle text, or the prompt of the command under
    // the pointer.
    QString MessagePaneText() const;
    // The indicator panes, left to right: Kana, Caps, Num and Scroll lock.
    std::array<QLabel*, 4> IndicatorPanes() const { return indicators_; }
    // The pane before the indicators that tells how playback differs from the score as
    // written (tempo, key); hidden while `text` is empty.
    void SetPlaybackPane(const QString& text);
    QLabel* PlaybackPane() const { return playbackPane_; }
    // The pane that names the score's encoding when it is not UTF-8; hidden while `text` is
    // empty.
    void SetEncodingPane(const QString& text);
    QLabel* EncodingPane() const { return encodingPane_; }
    // The pane that shows, while the score box holds typing not saved, that what the box's
    // own playing commands play (the cursor, the roll) is not saved yet.
    void ShowUnsavedPane(bool unsaved);
    QLabel* UnsavedPane() const { return unsavedPane_; }

  protected:
    int OnCreate() override;
    bool event(QEvent* event) override;

  private:
    bool CreateToolBar();
    bool CreateStatusBar();
    void CreateMenu();
    void AddAccelerators();
    void FillRecentFiles(QMenu* menu, QAction* placeholder);
    void UpdateIndicators();

    QStatusBar* m_statusBar = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* messagePane_ = nullptr;
    QLabel* playbackPane_ = nullptr;
    QLabel* encodingPane_ = nullptr;
    QLabel* unsavedPane_ = nullptr;
    std::array<QLabel*, 4> indicators_{};
    QTimer* indicatorTimer_ = nullptr;
};

}  // namespace tez
