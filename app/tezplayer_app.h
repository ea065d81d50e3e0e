// The application object of tezplayer.
#pragma once

#include "control/deferred_stops.h"
#include "framework/win_app.h"
#include "platform/midi_devices.h"

namespace tez {

class DEzazerireVuvu;

inline constexpr const char* kRegistryKey = "Local AppWizard-Generated Applications";
inline constexpr const char* kApplicationVersion = "1.0.0.1";
inline constexpr int kRecentFileCount = 4;

class CTezplayerApp final : public CWinApp {
  public:
    // `stops`, when given, makes a stop signal wait for the window's writes.
    CTezplayerApp(UserPrompts& prompts, MidiDevices& devices, const DeferredStops* stops = nullptr)
        : CWinApp(prompts), devices_(devices), stops_(stops) {}

    // Settings, the document template, the command line; then shows the main window.
    bool InitInstance() override;
    // The same with the given command line (program name first).
    bool StartWithArguments(const QStringList& arguments);
    bool OnCmdMsg(unsigned id, CommandMode mode) override;
    // Shows the About box modally.
    void OnAbout();
    // The form asks about typing that its file does not have.
    bool SaveAllModified() override;

  protected:
    // The document's title and the recent-file list, and the form opens the score too.
    bool OpenDocumentFile(const QString& path) override;

  private:
    DEzazerireVuvu* Form() const;

    MidiDevices& devices_;
    const DeferredStops* stops_;
};

}  // namespace tez
