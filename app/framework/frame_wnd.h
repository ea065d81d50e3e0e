// The main frame: a window with menu, control bars and one view, that routes commands.
#pragma once

#include <QHash>
#include <QMainWindow>

#include "framework/cmd_target.h"

class QAction;

namespace tez {

class CDocument;
class CView;
class CWinApp;

class CFrameWnd : public QMainWindow, public CCmdTarget {
  public:
    CFrameWnd();

    // Builds the frame's window parts through OnCreate. False when that failed.
    bool Create(CWinApp& app);
    // Makes `view` the frame's client and its active view; the frame owns it.
    void SetView(CView* view);
    CView* GetActiveView() const { return view_; }
    CWinApp* GetApp() const { return app_; }
    void SetDocument(CDocument* document) { document_ = document; }

    // Offers the command to the active view, the document, the frame and the application
    // in that order; the first with an entry runs it. False when none has one.
    bool RouteCommand(unsigned id, CommandMode mode);
    // The action of a command, created on first use: menu items, buttons and shortcuts
    // of the same command share it, and triggering it routes the command.
    QAction* CommandAction(unsigned id);
    // Enables the actions whose command has a handler on the route, disables the others.
    void UpdateCommandUi();

    // Lays out the frame's parts around the view now.
    void RecalcLayout();
    // Resizes the frame so that the view's client area is exactly `clientSize`; with
    // `shrinkOnly` a dimension is only ever made smaller.
    void ResizeToFitClient(QSize clientSize, bool shrinkOnly);
    // The caption: "<document title> - <application title>".
    void OnUpdateFrameTitle();

  protected:
    // Builds menus and control bars. -1 fails the frame's creation, 0 succeeds.
    virtual int OnCreate() { return 0; }
    // Closing asks the application about work that would be lost first.
    void closeEvent(QCloseEvent* event) override;

  private:
    CWinApp* app_ = nullptr;
    CView* view_ = nullptr;
    CDocument* document_ = nullptr;
    QHash<unsigned, QAction*> actions_;
};

}  // namespace tez
