// A running tezplayer window on the offscreen platform, with its questions answered by
// the test and its devices recording.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <deque>

#include "control/playback_state.h"
#include "framework/command_ids.h"
#include "framework/user_prompts.h"
#include "main_frame.h"
#include "recording_devices.h"
#include "resource_ids.h"
#include "scratch_dir.h"
#include "tezplayer_app.h"
#include "tezplayer_view.h"

namespace tez::apptest {

using test::kPatience;
using test::RecordingDevices;

// Answers the open dialog from a queue (nothing queued: cancelled) and records messages.
class ScriptedPrompts final : public UserPrompts {
  public:
    void MessageBox(QWidget*, const QString& text) override { messages.push_back(text); }
    std::optional<QString> OpenFile(QWidget*, const OpenFileRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<QString> answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // Questions take the queued choices in turn (nothing queued: the last, Cancel).
    int Ask(QWidget*, const QString& text, const QStringList& choices) override {
        questions.push_back(text);
        if (choices_.empty()) {
            return static_cast<int>(choices.size()) - 1;
        }
        const QString choice = choices_.front();
        choices_.pop_front();
        return static_cast<int>(choices.indexOf(choice));
    }
    std::optional<QString> SaveFile(QWidget*, const OpenFileRequest&) override {
        saveRequests += 1;
        if (saveAnswers.empty()) {
            return std::nullopt;
        }
        std::optional<QString> answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    // Queues the answer to the next question by its button's text ("&Discard").
    void Answer(const QString& choice) { choices_.push_back(choice); }
    void ForgetAnswers() { choices_.clear(); }

    std::deque<std::optional<QString>> answers;
    std::deque<std::optional<QString>> saveAnswers;
    QStringList messages;
    QStringList questions;
    int saveRequests = 0;
    std::vector<OpenFileRequest> requests;

  private:
    std::deque<QString> choices_;
};

class WindowTest : public ::testing::Test {
  protected:
    explicit WindowTest(int deviceCount = 2) : devices(deviceCount) {
        g_deviceId = -1;
        g_runFlag = 0;
        g_playing = 0;
    }
    void SetUp() override {
        ASSERT_TRUE(app.InitInstance());
        frame = static_cast<CMainFrame*>(app.MainWnd());
        view = static_cast<DEzazerireVuvu*>(frame->GetActiveView());
    }
    void TearDown() override { app.ExitInstance(); }

    void RunCommand(unsigned id) { frame->CommandAction(id)->trigger(); }
    // Opens `path` through File > Open, as a user confirming it in the dialog.
    void OpenScore(const std::string& path) {
        prompts.answers.push_back(QString::fromStdString(path));
        RunCommand(ids::kFileOpen);
    }
    QString ScoreBox() const {
        return static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox))->toPlainText();
    }
    QLineEdit* StatusBox() const {
        return static_cast<QLineEdit*>(view->GetDlgItem(ids::kStatusBox));
    }
    QComboBox* DeviceList() const {
        return static_cast<QComboBox*>(view->GetDlgItem(ids::kDeviceList));
    }
    void Click(int controlId) const {
        QTest::mouseClick(static_cast<QPushButton*>(view->GetDlgItem(controlId)), Qt::LeftButton);
    }
    // As a user picking the entry from the drop-down.
    void ChooseDevice(int entry) const {
        DeviceList()->setCurrentIndex(entry);
        emit DeviceList()->activated(entry);
    }

    ScratchDir scratch;
    RecordingDevices devices;
    ScriptedPrompts prompts;
    CTezplayerApp app{prompts, devices};
    CMainFrame* frame = nullptr;
    DEzazerireVuvu* view = nullptr;
};

}  // namespace tez::apptest
