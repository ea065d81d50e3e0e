// The application object: start-up, settings, the document template and the commands
// that no window handles.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "framework/cmd_target.h"
#include "framework/recent_files.h"
#include "framework/string_table.h"

namespace tez {

class CDocument;
class CFrameWnd;
class CSingleDocTemplate;
class UserPrompts;

// What the command line asks for: a new document, or to open the named file.
struct CCommandLineInfo {
    enum class Shell { kFileNew, kFileOpen };
    Shell shellCommand = Shell::kFileNew;
    QString fileName;
};

class CWinApp : public CCmdTarget {
  public:
    explicit CWinApp(UserPrompts& prompts);
    ~CWinApp() override;

    // Creates the Qt application, runs InitInstance and, when it succeeds, the event loop.
    // Returns the process exit code.
    int Run(int& argc, char** argv);
    // Sets the application up; false ends it without running the event loop.
    virtual bool InitInstance() = 0;
    // Stores the settings and takes the windows down; returns the exit code.
    virtual int ExitInstance();

    // The application's name and title, string 57344.
    QString AppTitle() const { return strings_.Load(57344); }
    const StringTable& Strings() const { return strings_; }
    UserPrompts& Prompts() { return prompts_; }
    CFrameWnd* MainWnd() const;
    CSingleDocTemplate* DocTemplate() const { return template_.get(); }
    RecentFileList& RecentFiles() { return recentFiles_; }
    // A number kept in the application's settings, or `fallback` when none is kept.
    int GetProfileInt(const QString& section, const QString& entry, int fallback) const;
    void WriteProfileInt(const QString& section, const QString& entry, int value);

    // The commands the framework handles itself: exit and the recent files.
    bool OnCmdMsg(unsigned id, CommandMode mode) override;
    // Starts a new document in the one template.
    void OnFileNew();
    // Asks for a file with the framework's open dialog and opens it as the document.
    void OnFileOpen();
    void OnAppExit();
    // Asks about work that the next command would lose (New, a recent file, Exit); false
    // keeps it, and the command is not carried out.
    virtual bool SaveAllModified() { return true; }

  protected:
    // Settings are kept per user under organisation `key` and the application's name.
    void SetRegistryKey(const QString& key) { registryKey_ = key; }
    // Loads the recent-file list, of at most `maxEntries` files.
    void LoadStdProfileSettings(int maxEntries);
    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate);
    CCommandLineInfo ParseCommandLine(const QStringList& arguments) const;
    // True when the main frame exists afterwards.
    bool ProcessShellCommand(const CCommandLineInfo& info);

    // Opens `path` as the document, from the command line or the recent-file list.
    virtual bool OpenDocumentFile(const QString& path);

  private:
    void OnOpenRecentFile(int index);

    UserPrompts& prompts_;
    StringTable strings_;
    QString registryKey_;
    RecentFileList recentFiles_;
    std::unique_ptr<CSingleDocTemplate> template_;
};

}  // namespace tez
