// The framework layer's own pieces: the string table, dialog units and recent files.
#include <gtest/gtest.h>

#include <QFontMetrics>

#include "framework/command_ids.h"
#include "framework/dialog_units.h"
#include "framework/recent_files.h"
#include "framework/string_table.h"

namespace tez {
namespace {

TEST(StringTable, HoldsTheFiftyEightStringsAndNoPrintPrompt) {
    const StringTable strings;
    EXPECT_EQ(strings.Size(), 58);
    EXPECT_FALSE(strings.Contains(ids::kFilePrint));
    EXPECT_EQ(strings.Load(ids::kAppTitleString), "tezplayer");
    EXPECT_EQ(strings.Load(ids::kIdleMessageString), "ﾚﾃﾞｨ");
    for (unsigned id = ids::kFileMruFile1; id <= ids::kFileMruLast; ++id) {
        EXPECT_EQ(strings.Load(id), "指定のﾌｧｲﾙを開く") << id;
    }
}

TEST(StringTable, DocumentStringHasItsSevenFields) {
    const QStringList fields = StringTable().Load(128).split(u'\n');
    EXPECT_EQ(fields, (QStringList{"tezplayer", "", "Tezpla", "", "", "Tezplayer.Document",
                                   "Tezpla Document"}));
}

struct PromptCase {
    unsigned id;
    const char* prompt;
    const char* toolTip;
};

class CommandPromptTest : public ::testing::TestWithParam<PromptCase> {};

TEST_P(CommandPromptTest, SplitsPromptAndToolTipAtTheNewline) {
    const StringTable strings;
    EXPECT_EQ(strings.Prompt(GetParam().id), QString::fromUtf8(GetParam().prompt));
    EXPECT_EQ(strings.ToolTip(GetParam().id), QString::fromUtf8(GetParam().toolTip));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandPromptTest,
    ::testing::Values(PromptCase{57665, "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示", "終了"},
                      PromptCase{57616, "指定のﾌｧｲﾙを開く", ""},
                      PromptCase{61190, "作業中のｳｨﾝﾄﾞｳを閉じ、変更したﾌｧｲﾙの保存を指示", ""},
                      PromptCase{ids::kFilePrint, "", ""}));

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

}  // namespace
}  // namespace tez
