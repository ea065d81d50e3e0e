#include "framework/frame_wnd.h"

#include <QAction>
#include <QCloseEvent>
#include <QLayout>
#include <QScrollArea>

#include "framework/document.h"
#include "framework/view.h"
#include "framework/win_app.h"

namespace tez {

CFrameWnd::CFrameWnd() {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void CFrameWnd::closeEvent(QCloseEvent* event) {
    if (app_ != nullptr && !app_->SaveAllModified()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool CFrameWnd::Create(CWinApp& app) {
    app_ = &app;
    return OnCreate() != -1;
}

void CFrameWnd::SetView(CView* view) {
    view_ = view;
    view->SetParentFrame(this);
    // A window smaller than the view's least size scrolls it; a larger one gives it the room.
    auto* area = new QScrollArea(this);
    area->setFrameShape(QFrame::NoFrame);
    area->setFocusPolicy(Qt::NoFocus);  // Tab goes from control to control as before
    area->setWidgetResizable(true);
    area->setWidget(view);
    setCentralWidget(area);
}

bool CFrameWnd::RouteCommand(unsigned id, CommandMode mode) {
    if (view_ != nullptr && view_->OnCmdMsg(id, mode)) {
        return true;
    }
    if (document_ != nullptr && document_->OnCmdMsg(id, mode)) {
        return true;
    }
    if (OnCmdMsg(id, mode)) {
        return true;
    }
    return app_ != nullptr && app_->OnCmdMsg(id, mode);
}

QAction* CFrameWnd::CommandAction(unsigned id) {
    QAction*& action = actions_[id];
    if (action == nullptr) {
        action = new QAction(this);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] {
            RouteCommand(id, CommandMode::kExecute);
            UpdateCommandUi();
        });
    }
    return action;
}

void CFrameWnd::UpdateCommandUi() {
    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
        it.value()->setEnabled(RouteCommand(it.key(), CommandMode::kQuery));
    }
}

void CFrameWnd::RecalcLayout() {
    if (layout() != nullptr) {
        layout()->activate();
    }
}

void CFrameWnd::ResizeToFitClient(QSize clientSize, bool shrinkOnly) {
    RecalcLayout();
    const QSize chrome = size() - (centralWidget() != nullptr ? centralWidget()->size() : QSize());
    QSize wanted = clientSize + chrome;
    if (shrinkOnly) {
        wanted = wanted.boundedTo(size());
    }
    resize(wanted);
}

void CFrameWnd::OnUpdateFrameTitle() {
    const QString appTitle = app_ != nullptr ? app_->AppTitle() : QString();
    if (document_ == nullptr) {
        setWindowTitle(appTitle);
        return;
    }
    setWindowTitle(document_->GetTitle() + QStringLiteral(" - ") + appTitle);
}

}  // namespace tez
