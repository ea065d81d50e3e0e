#include "tezplayer_app.h"

#include <malloc.h>

#include <QApplication>
#include <QIcon>

#include "about_dialog.h"
#include "framework/command_ids.h"
#include "framework/doc_template.h"
#include "main_frame.h"
#include "resource_ids.h"
#include "tezplayer_doc.h"
#include "tezplayer_view.h"

namespace tez {

namespace {

// Allocations of this size or more are mappings of their own.
constexpr int kOwnMappingBytes = 256 * 1024;

}  // namespace

bool CTezplayerApp::InitInstance() {
    return StartWithArguments(QApplication::arguments());
}

bool CTezplayerApp::StartWithArguments(const QStringList& arguments) {
    // A large score's buffers (its bytes, the box's document, the note table) come from the
    // system and go back to it when freed. Left to itself, the allocator raises this bound
    // to the size of the first such buffer freed, and the heap then keeps the freed copies
    // that a score's opening passes through: some 40 MB for a million lines.
    mallopt(M_MMAP_THRESHOLD, kOwnMappingBytes);
    QApplication::setApplicationName(AppTitle());
    QApplication::setApplicationVersion(QString::fromLatin1(kApplicationVersion));
    QApplication::setDesktopFileName(QStringLiteral("tezplayer"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/res/tezplayer.ico")));

    SetRegistryKey(QString::fromUtf8(kRegistryKey));
    LoadStdProfileSettings(kRecentFileCount);
    AddDocTemplate(std::make_unique<CSingleDocTemplate>(
        ids::kMainFrame, [] { return std::make_unique<DAruzaridoVad>(); },
        [] { return std::make_unique<CMainFrame>(); },
        [this](CWinApp&) { return new DEzazerireVuvu(Prompts(), devices_, stops_); }));

    const CCommandLineInfo commandLine = ParseCommandLine(arguments);
    const bool opened = ProcessShellCommand(commandLine);
    const bool namesScore = commandLine.shellCommand == CCommandLineInfo::Shell::kFileOpen;
    // A score that cannot be read still gets the window, which says so.
    if (!opened && (!namesScore || !ProcessShellCommand({}))) {
        return false;
    }
    MainWnd()->show();
    MainWnd()->repaint();
    if (!opened) {
        static_cast<DEzazerireVuvu*>(MainWnd()->GetActiveView())
            ->OpenNamedScore(commandLine.fileName);
    }
    return true;
}

bool CTezplayerApp::OpenDocumentFile(const QString& path) {
    if (!CWinApp::OpenDocumentFile(path)) {
        return false;
    }
    static_cast<DEzazerireVuvu*>(MainWnd()->GetActiveView())->OpenNamedScore(path);
    return true;
}

bool CTezplayerApp::OnCmdMsg(unsigned id, CommandMode mode) {
    switch (id) {
        case ids::kAppAbout:
            return Handle(mode, [this] { OnAbout(); });
        case ids::kFileNew:
            return Handle(mode, [this] {
                if (SaveAllModified()) {
                    OnFileNew();
                    if (auto* form = Form()) {
                        form->ForgetUndoHistory();
                    }
                }
            });
        case ids::kFileOpen:
            return Handle(mode, [this] { OnFileOpen(); });
        default:
            return CWinApp::OnCmdMsg(id, mode);
    }
}

DEzazerireVuvu* CTezplayerApp::Form() const {
    return MainWnd() != nullptr ? static_cast<DEzazerireVuvu*>(MainWnd()->GetActiveView())
                                : nullptr;
}

bool CTezplayerApp::SaveAllModified() {
    DEzazerireVuvu* form = Form();
    return form == nullptr || form->SaveModified();
}

void CTezplayerApp::OnAbout() {
    CAboutDialog about(MainWnd());
    about.DoModal();
}

}  // namespace tez
