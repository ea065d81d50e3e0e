// The piano roll pane: hidden until asked for, tied to the score's lines, and a transport.
#include <QDockWidget>
#include <QTextBlock>

#include "piano_roll_link.h"
#include "piano_roll_pane.h"
#include "roll/roll_hit.h"
#include "window_fixture.h"

namespace tez::apptest {
namespace {

// Ticks 120, 240, 360, 480 (4 ms each); lines 2 and 4 on channel 2.
constexpr const char* kScore =
    "I0 K60 V100 L120\n"
    "I120 K62 V100 L120 W2\n"
    "I120 K64 V100 L120\n"
    "I120 K65 V100 L120 W2\n";

class PianoRollTest : public WindowTest {
  protected:
    PianoRollPane* ShowPane() {
        OpenScore(scratch.Write("a.tez", kScore));
        if (!view->PianoRoll()->IsShown()) {  // the settings may keep an earlier test's choice
            RunCommand(ids::kPianoRoll);
        }
        PianoRollPane* pane = view->PianoRoll()->Pane();
        pane->resize(640, 280);
        pane->SetView(roll::WholeView(pane->Model(), 640, 280));
        return pane;
    }
    void Press(PianoRollPane* pane, double x, double y, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(pane, button, {}, QPoint(static_cast<int>(x), static_cast<int>(y)));
    }
    // The note-ons sent so far.
    std::vector<std::string> NoteOnsPlayed() {
        std::vector<std::string> noteOns;
        for (const std::string& event : devices.Events()) {
            if (event.starts_with("send 9") && !event.ends_with(" 00")) {
                noteOns.push_back(event.substr(5));
            }
        }
        return noteOns;
    }
};

TEST_F(PianoRollTest, IsHiddenAtFirstAndRememberedOnceShown) {
    EXPECT_FALSE(view->PianoRoll()->IsShown());
    RunCommand(ids::kPianoRoll);
    EXPECT_TRUE(view->PianoRoll()->IsShown());
    CTezplayerApp second(prompts, devices);
    ASSERT_TRUE(second.StartWithArguments({"tezplayer"}));
    EXPECT_TRUE(second.MainWnd()->CommandAction(ids::kPianoRoll)->isChecked());
    RunCommand(ids::kPianoRoll);  // hidden again for the tests that follow
}

TEST_F(PianoRollTest, ANoteClickedPutsTheCursorOnItsLineAndSelectedLinesMarkTheirNotes) {
    PianoRollPane* pane = ShowPane();
    const roll::RollFrame frame = pane->Frame();
    ASSERT_EQ(frame.notes.size(), 4u);
    const roll::Rect& second = frame.notes[1].box;
    Press(pane, second.x + second.width / 2, second.y + second.height / 2);
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    EXPECT_EQ(box->textCursor().blockNumber(), 1);
    EXPECT_EQ(pane->Frame().notes[1].flags, roll::kOutlined);

    QTextCursor selection(box->document()->findBlockByNumber(2));
    selection.setPosition(box->document()->findBlockByNumber(4).position(),
                          QTextCursor::KeepAnchor);
    box->setTextCursor(selection);
    std::vector<int> marked;
    for (const roll::NoteBox& note : pane->Frame().notes) {
        marked.push_back(note.flags & roll::kSelected ? note.line : 0);
    }
    EXPECT_EQ(marked, (std::vector<int>{0, 0, 3, 4}));
}

TEST_F(PianoRollTest, AReloadShowsTheNewVersionWhereTheViewWas) {
    PianoRollPane* pane = ShowPane();
    roll::RollView view = pane->View();
    view.fromTick = 240;
    pane->SetView(view);
    scratch.Write("a.tez", std::string(kScore) + "I120 K90 V100 L120\n");
    Click(ids::kReloadButton);
    EXPECT_EQ(pane->Model().Notes().size(), 5u);
    EXPECT_EQ(pane->View().fromTick, 240u);
    EXPECT_GE(pane->View().highKey, 90);
}

TEST_F(PianoRollTest, TheRulerPlaysFromThePlaceClicked) {
    PianoRollPane* pane = ShowPane();
    const roll::RollFrame frame = pane->Frame();
    Press(pane, roll::XOfTick(frame, 360) + 1, frame.ruler.y + 5);
    ASSERT_TRUE(devices.WaitForOpenAttempts(1) && devices.WaitUntilAllClosed());
    EXPECT_EQ(NoteOnsPlayed(), (std::vector<std::string>{"91 40 64", "92 41 64"}));
}

// Typing in the box shows in the roll once it pauses, and the ruler plays it from there,
// while the file stays as it was.
TEST_F(PianoRollTest, TheRollFollowsTypingAndItsRulerPlaysWhatItShows) {
    PianoRollPane* pane = ShowPane();
    auto* box = static_cast<QPlainTextEdit*>(view->GetDlgItem(ids::kScoreBox));
    box->moveCursor(QTextCursor::End);
    box->insertPlainText(QStringLiteral("I120 K90 V100 L120\n"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->Model().Notes().size() == 5; }, 10000));
    pane->SetView(roll::WholeView(pane->Model(), 640, 280));
    const roll::RollFrame frame = pane->Frame();
    Press(pane, roll::XOfTick(frame, 600) + 1, frame.ruler.y + 5);
    ASSERT_TRUE(devices.WaitForOpenAttempts(1) && devices.WaitUntilAllClosed());
    EXPECT_EQ(NoteOnsPlayed(), (std::vector<std::string>{"91 5A 64"}));
    EXPECT_EQ(ReadFileBytes(scratch.Path() / "a.tez"), kScore);
}

// The time and tempo show while the music plays, also with the roll hidden.
TEST_F(PianoRollTest, TheTimeAndTempoShowWhilePlayingWithoutTheRoll) {
    OpenScore(scratch.Write("a.tez", "I0 K60 V100 L12000\n"));
    ASSERT_FALSE(view->PianoRoll()->IsShown());
    QLabel* transport = view->PianoRoll()->TransportPane();
    Click(ids::kPlayStopButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return transport->isVisibleTo(frame); }, 10000));
    EXPECT_TRUE(transport->text().endsWith(QStringLiteral("125 BPM")))
        << transport->text().toStdString();
    Click(ids::kPlayStopButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !transport->isVisibleTo(frame); }, 10000));
}

TEST_F(PianoRollTest, TheLegendMutesAChannelOfThePlayback) {
    PianoRollPane* pane = ShowPane();
    const roll::RollFrame frame = pane->Frame();
    const roll::Rect& channel2 = frame.legendEntries[2].box;
    Press(pane, channel2.x + 2, channel2.y + 2);
    EXPECT_EQ(pane->Muted(), 1 << 2);
    Press(pane, frame.ruler.x, frame.ruler.y + 5);
    ASSERT_TRUE(devices.WaitForOpenAttempts(1) && devices.WaitUntilAllClosed());
    EXPECT_EQ(NoteOnsPlayed(), (std::vector<std::string>{"91 3C 64", "91 40 64"}));
}

TEST_F(PianoRollTest, PauseSilencesTheDeviceAndResumesWithTheNextNote) {
    std::string score;
    for (int key = 40; key < 80; ++key) {
        score += "I120 K" + std::to_string(key) + " V100 L100\n";
    }
    OpenScore(scratch.Write("long.tez", score));
    Click(ids::kPlayStopButton);
    ASSERT_TRUE(devices.WaitForSends(6));
    RunCommand(ids::kPause);
    EXPECT_EQ(StatusBox()->text(), kStatusPaused);
    ASSERT_TRUE(devices.WaitUntilAllClosed());
    const std::vector<std::string> before = NoteOnsPlayed();
    RunCommand(ids::kPause);
    ASSERT_TRUE(test::WaitUntil([&] { return NoteOnsPlayed().size() > before.size(); }));
    EXPECT_EQ(StatusBox()->text(), kStatusPlaying);
    const int lastKey = std::stoi(before.back().substr(3, 2), nullptr, 16);
    EXPECT_EQ(std::stoi(NoteOnsPlayed()[before.size()].substr(3, 2), nullptr, 16), lastKey + 1);
    Click(ids::kPlayStopButton);
}

}  // namespace
}  // namespace tez::apptest
