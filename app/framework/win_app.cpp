#include "framework/win_app.h"

#include <QApplication>
#include <QSettings>

#include "framework/command_ids.h"
#include "framework/doc_template.h"
#include "framework/document.h"
#include "framework/frame_wnd.h"
#include "framework/user_prompts.h"

namespace tez {

CWinApp::CWinApp(UserPrompts& prompts) : prompts_(prompts) {}

CWinApp::~CWinApp() = default;

int CWinApp::Run(int& argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(AppTitle());
    if (!InitInstance()) {
        template_.reset();
        return 0;
    }
    QApplication::exec();
    return ExitInstance();
}

int CWinApp::ExitInstance() {
    recentFiles_.Save(registryKey_, AppTitle());
    template_.reset();
    return 0;
}

CFrameWnd* CWinApp::MainWnd() const {
    return template_ ? template_->Frame() : nullptr;
}

int CWinApp::GetProfileInt(const QString& section, const QString& entry, int fallback) const {
    QSettings settings(registryKey_, AppTitle());
    bool ok = false;
    const int value = settings.value(section + u'/' + entry).toInt(&ok);
    return ok ? value : fallback;
}

void CWinApp::WriteProfileInt(const QString& section, const QString& entry, int value) {
    QSettings settings(registryKey_, AppTitle());
    settings.setValue(section + u'/' + entry, value);
}

void CWinApp::LoadStdProfileSettings(int maxEntries) {
    recentFiles_ = RecentFileList(maxEntries);
    recentFiles_.Load(registryKey_, AppTitle());
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate) {
    template_ = std::move(docTemplate);
}

CCommandLineInfo CWinApp::ParseCommandLine(const QStringList& arguments) const {
    CCommandLineInfo info;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!argument.startsWith(u'-') && info.fileName.isEmpty()) {
            info.fileName = argument;
            info.shellCommand = CCommandLineInfo::Shell::kFileOpen;
        }
    }
    return info;
}

bool CWinApp::ProcessShellCommand(const CCommandLineInfo& info) {
    if (info.shellCommand == CCommandLineInfo::Shell::kFileOpen) {
        return OpenDocumentFile(info.fileName);
    }
    OnFileNew();
    return MainWnd() != nullptr;
}

bool CWinApp::OpenDocumentFile(const QString& path) {
    if (!template_ || template_->OpenDocumentFile(*this, path) == nullptr) {
        return false;
    }
    recentFiles_.Add(template_->Document()->GetPathName());
    return true;
}

bool CWinApp::OnCmdMsg(unsigned id, CommandMode mode) {
    if (id == ids::kAppExit) {
        return Handle(mode, [this] { OnAppExit(); });
    }
    if (id >= ids::kFileMruFile1 && id <= ids::kFileMruLast) {
        const int index = static_cast<int>(id - ids::kFileMruFile1);
        if (index >= recentFiles_.Entries().size()) {
            return false;
        }
        return Handle(mode, [this, index] { OnOpenRecentFile(index); });
    }
    return false;
}

void CWinApp::OnFileNew() {
    if (template_) {
        template_->OpenDocumentFile(*this, QString());
    }
}

void CWinApp::OnFileOpen() {
    const std::optional<QString> path = prompts_.OpenFile(MainWnd(), OpenFileRequest{});
    if (path && !OpenDocumentFile(*path)) {
        prompts_.MessageBox(MainWnd(), QStringLiteral("cannot open %1").arg(*path));
    }
}

void CWinApp::OnOpenRecentFile(int index) {
    if (!SaveAllModified()) {
        return;
    }
    const QString path = recentFiles_.Entries().value(index);
    if (!OpenDocumentFile(path)) {
        prompts_.MessageBox(MainWnd(), QStringLiteral("cannot open %1").arg(path));
        recentFiles_.Remove(index);
    }
}

void CWinApp::OnAppExit() {
    if (MainWnd() != nullptr) {
        MainWnd()->close();
    }
}

}  // namespace tez
