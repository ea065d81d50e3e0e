// The framework layer's own pieces: the string table, dialog units, recent files and the
// open dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QTimer>

#include "framework/command_ids.h"
#include "framework/dialog_units.h"
#include "framework/recent_files.h"
#include "framework/string_table.h"
#include "framework/user_prompts.h"
#include "scratch_dir.h"

namespace tez {
namespace {

TEST(StringTable, HoldsTheWindowsStringsAndThePlayMenusPromptsAndToolTips) {
    const StringTable strings;
    EXPECT_EQ(strings.Size(), 58 + 7);
    EXPECT_FALSE(strings.Contains(ids::kFilePrint));
    EXPECT_EQ(strings.Load(ids::kAppTitleString), "tezplayer");
    EXPECT_EQ(strings.Load(ids::kIdleMessageString), "ﾚﾃﾞｨ");
    // A prompt without a newline has no tool tip; with one, the tool tip follows it.
    for (unsigned id = ids::kFileMruFile1; id <= ids::kFileMruLast; ++id) {
        EXPECT_EQ(strings.Prompt(id), "指定のﾌｧｲﾙを開く") << id;
        EXPECT_EQ(strings.ToolTip(id), "") << id;
    }
    EXPECT_EQ(strings.Prompt(ids::kAppExit), "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示");
    EXPECT_EQ(strings.ToolTip(ids::kAppExit), "終了");
}

TEST(UnescapeResourceText, TurnsEscapesIntoCharacters) {
    EXPECT_EQ(UnescapeResourceText(R"(a\nb\tc\\d)"), "a\nb\tc\\d");
    EXPECT_EQ(UnescapeResourceText(R"(ends with \)"), "ends with \\");
}

struct UnitCase {
    int averageWidth, height;
    int x, y, width, bottom;
    QRect pixels;
};

class DialogUnitTest : public ::testing::TestWithParam<UnitCase> {};

TEST_P(DialogUnitTest, ScalesByQuarterWidthAndEighthHeight) {
    const UnitCase& c = GetParam();
    EXPECT_EQ(DialogUnits(c.averageWidth, c.height).ToPixels(c.x, c.y, c.width, c.bottom),
              c.pixels);
}

INSTANTIATE_TEST_SUITE_P(Fonts, DialogUnitTest,
                         ::testing::Values(
                             // The classic 6x12 dialog font: the form is 480 by 300 pixels.
                             UnitCase{6, 12, 320, 200, 44, 14, QRect(480, 300, 66, 21)},
                             UnitCase{7, 13, 7, 27, 306, 166, QRect(12, 43, 535, 269)},
                             UnitCase{8, 16, 0, 0, 1, 1, QRect(0, 0, 2, 2)}));

TEST(DialogFont, IsAJapaneseGothicAtNinePoints) {
    const QFont font = DialogFont();
    EXPECT_EQ(font.pointSize(), 9);
    EXPECT_EQ(font.families().value(0), "ＭＳ Ｐゴシック");
    EXPECT_TRUE(QFontMetrics(font).inFont(QChar(u'ﾚ')));
}

TEST(RecentFileList, KeepsTheNewestFourWithoutDuplicates) {
    RecentFileList list(4);
    for (const char* path : {"/a", "/b", "/c", "/d", "/b", "/e"}) {
        list.Add(QString::fromLatin1(path));
    }
    EXPECT_EQ(list.Entries(), (QStringList{"/e", "/b", "/d", "/c"}));
}

TEST(RecentFileList, SurvivesARestart) {
    RecentFileList stored(4);
    stored.Add("/scores/one.tez");
    stored.Add("/scores/two.tez");
    stored.Save("tezplayer tests", "recent");
    RecentFileList loaded(4);
    loaded.Load("tezplayer tests", "recent");
    EXPECT_EQ(loaded.Entries(), stored.Entries());
}

// The real dialog: a wildcard typed (or left) in the name field filters the list and keeps
// the dialog open; a name is chosen as usual.
TEST(OpenFileDialog, AWildcardFiltersTheListAndIsNeverChosen) {
    apptest::ScratchDir scratch;
    scratch.Write("a.tez", "");
    scratch.Write("b.mid", "");
    std::vector<std::string> listed;  // the names shown after each Enter that left it open
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        auto* list = dialog->findChild<QListView*>("listView");
        const auto listedNow = [&] {
            QStringList names;
            for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
                names << list->model()->index(row, 0, list->rootIndex()).data().toString();
            }
            return names.join(' ').toStdString();
        };
        const std::pair<const char*, std::string> steps[] = {
            {"", "a.tez"}, {"*.mid", "b.mid"}, {"a", ""}};
        for (const auto& [typed, expected] : steps) {
            name->selectAll();  // typing replaces the name; typing nothing leaves it
            QTest::keyClicks(name, typed);
            QTest::keyClick(name, Qt::Key_Return);
            if (dialog->isVisible()) {
                static_cast<void>(QTest::qWaitFor([&] { return listedNow() == expected; }));
                listed.push_back(listedNow());
            }
        }
    });
    QtUserPrompts prompts;
    const auto chosen = prompts.OpenFile(nullptr, {"tez", "*.tez", QString()});
    EXPECT_EQ(listed, (std::vector<std::string>{"a.tez", "b.mid"}));
    EXPECT_EQ(chosen, QString::fromStdString((scratch.Path() / "a.tez").string()));
}

}  // namespace
}  // namespace tez
