#include "main_frame.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>

#include "framework/command_ids.h"
#include "framework/win_app.h"
#include "lock_states.h"
#include "resource_ids.h"
#include "resources.h"

namespace tez {

namespace {

constexpr unsigned kIndicatorIds[4] = {ids::kIndicatorKana, ids::kIndicatorCaps, ids::kIndicatorNum,
                                       ids::kIndicatorScrl};
constexpr int kIndicatorPollMs = 250;
const char* const kRecentFileProperty = "recentFileEntry";

}  // namespace

int CMainFrame::OnCreate() {
    if (CFrameWnd::OnCreate() == -1) {
        return -1;
    }
    if (!CreateToolBar() || !CreateStatusBar()) {
        return -1;
    }
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
    CreateMenu();
    AddAccelerators();
    return 0;
}

bool CMainFrame::CreateToolBar() {
    QPixmap images(QStringLiteral(":/res/toolbar.bmp"));
    int buttons = 0;
    for (const ToolBarSlot& slot : MainToolBar()) {
        buttons += slot.id != 0 ? 1 : 0;
    }
    if (images.isNull() || images.width() < buttons * kToolBarImageWidth ||
        images.height() < kToolBarImageHeight) {
        return false;
    }
    // The images are drawn on the button face colour, which shows through.
    images.setMask(images.createMaskFromColor(QColor(192, 192, 192)));
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QString::number(ids::kToolBarWindow));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setIconSize(QSize(kToolBarImageWidth, kToolBarImageHeight));
    const StringTable& strings = GetApp()->Strings();
    int image = 0;
    for (const ToolBarSlot& slot : MainToolBar()) {
        if (slot.id == 0) {
            m_toolBar->addSeparator();
            continue;
        }
        QAction* action = CommandAction(slot.id);
        action->setIcon(
            images.copy(image++ * kToolBarImageWidth, 0, kToolBarImageWidth, kToolBarImageHeight));
        action->setStatusTip(strings.Prompt(slot.id));
        action->setToolTip(strings.ToolTip(slot.id));
        m_toolBar->addAction(action);
    }
    return true;
}

bool CMainFrame::CreateStatusBar() {
    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QString::number(ids::kStatusBarWindow));
    messagePane_ = new QLabel(GetApp()->Strings().Load(ids::kIdleMessageString), m_statusBar);
    m_statusBar->addWidget(messagePane_, 1);
    unsavedPane_ = new QLabel(QStringLiteral("未保存"), m_statusBar);
    unsavedPane_->setFrameShape(QFrame::Panel);
    unsavedPane_->setFrameShadow(QFrame::Sunken);
    m_statusBar->addPermanentWidget(unsavedPane_);
    unsavedPane_->hide();
    encodingPane_ = new QLabel(m_statusBar);
    encodingPane_->setFrameShape(QFrame::Panel);
    encodingPane_->setFrameShadow(QFrame::Sunken);
    m_statusBar->addPermanentWidget(encodingPane_);
    encodingPane_->hide();
    playbackPane_ = new QLabel(m_statusBar);
    playbackPane_->setFrameShape(QFrame::Panel);
    playbackPane_->setFrameShadow(QFrame::Sunken);
    m_statusBar->addPermanentWidget(playbackPane_);
    playbackPane_->hide();
    for (std::size_t i = 0; i < indicators_.size(); ++i) {
        auto* pane = new QLabel(m_statusBar);
        const QString text = GetApp()->Strings().Load(kIndicatorIds[i]);
        pane->setProperty("indicatorText", text);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(text) + 8);
        pane->setAlignment(Qt::AlignCenter);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        m_statusBar->addPermanentWidget(pane);
        indicators_[i] = pane;
    }
    setStatusBar(m_statusBar);
    indicatorTimer_ = new QTimer(this);
    connect(indicatorTimer_, &QTimer::timeout, this, [this] { UpdateIndicators(); });
    indicatorTimer_->start(kIndicatorPollMs);
    UpdateIndicators();
    return true;
}

void CMainFrame::UpdateIndicators() {
    const LockStates locks = CurrentLockStates();
    const bool on[4] = {locks.kana, locks.caps, locks.num, locks.scroll};
    for (std::size_t i = 0; i < indicators_.size(); ++i) {
        indicators_[i]->setText(on[i] ? indicators_[i]->property("indicatorText").toString()
                                      : QString());
    }
}

void CMainFrame::CreateMenu() {
    const StringTable& strings = GetApp()->Strings();
    for (const MenuPopup& popup : MainMenu()) {
        QMenu* menu = menuBar()->addMenu(popup.title);
        for (const MenuItem& item : popup.items) {
            if (item.kind == MenuItem::Kind::kSeparator) {
                menu->addSeparator();
                continue;
            }
            if (item.kind == MenuItem::Kind::kRecentFiles) {
                QAction* placeholder = menu->addAction(item.text);
                placeholder->setEnabled(false);
                connect(menu, &QMenu::aboutToShow, this,
                        [this, menu, placeholder] { FillRecentFiles(menu, placeholder); });
                continue;
            }
            QAction* action = CommandAction(item.id);
            // The shortcut after the tab is shown by the action's own shortcut.
            action->setText(item.text.section(u'\t', 0, 0));
            action->setStatusTip(strings.Prompt(item.id));
            menu->addAction(action);
        }
    }
}

void CMainFrame::FillRecentFiles(QMenu* menu, QAction* placeholder) {
    for (QAction* action : menu->actions()) {
        if (action->property(kRecentFileProperty).toBool()) {
            menu->removeAction(action);
        }
    }
    const QStringList& entries = GetApp()->RecentFiles().Entries();
    placeholder->setVisible(entries.isEmpty());
    const QString prompt = GetApp()->Strings().Prompt(ids::kFileMruFile1);
    for (int i = 0; i < entries.size(); ++i) {
        QAction* action = CommandAction(ids::kFileMruFile1 + i);
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(entries[i]));
        action->setStatusTip(prompt);
        action->setProperty(kRecentFileProperty, true);
        menu->insertAction(placeholder, action);
    }
    UpdateCommandUi();
}

void CMainFrame::AddAccelerators() {
    for (const Accelerator& accelerator : MainAccelerators()) {
        QAction* action = CommandAction(accelerator.id);
        QList<QKeySequence> keys = action->shortcuts();
        keys.append(accelerator.keys);
        action->setShortcuts(keys);
        // Shortcuts work only for actions that belong to a widget of the window.
        addAction(action);
    }
}

void CMainFrame::SetEncodingPane(const QString& text) {
    encodingPane_->setText(text);
    encodingPane_->setVisible(!text.isEmpty());
}

void CMainFrame::SetPlaybackPane(const QString& text) {
    playbackPane_->setText(text);
    playbackPane_->setVisible(!text.isEmpty());
}

void CMainFrame::ShowUnsavedPane(bool unsaved) {
    unsavedPane_->setVisible(unsaved);
}

QString CMainFrame::MessagePaneText() const {
    return messagePane_->text();
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        messagePane_->setText(tip.isEmpty() ? GetApp()->Strings().Load(ids::kIdleMessageString)
                                            : tip);
        return true;
    }
    return CFrameWnd::event(event);
}

}  // namespace tez
