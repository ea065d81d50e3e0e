// The framework layer's own pieces: the string table, recent files and the open dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QTimer>

#include "framework/command_ids.h"
#include "framework/recent_files.h"
#include "framework/string_table.h"
#include "framework/user_prompts.h"
#include "scratch_dir.h"

namespace tez {
namespace {

TEST(StringTable, SplitsPromptsFromToolTipsAndUnescapes) {
    const StringTable strings;
    EXPECT_FALSE(strings.Contains(ids::kFilePrint));
    // A prompt without a newline has no tool tip; with one, the tool tip follows it.
    EXPECT_EQ(strings.Prompt(ids::kFileMruFile1), "指定のﾌｧｲﾙを開く");
    EXPECT_EQ(strings.ToolTip(ids::kFileMruFile1), "");
    EXPECT_EQ(strings.Prompt(ids::kAppExit), "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示");
    EXPECT_EQ(strings.ToolTip(ids::kAppExit), "終了");
    EXPECT_EQ(UnescapeResourceText(R"(a\nb\tc\\d)"), "a\nb\tc\\d");
    EXPECT_EQ(UnescapeResourceText(R"(ends with \)"), "ends with \\");
}

TEST(RecentFileList, KeepsTheNewestFourWithoutDuplicatesAcrossARestart) {
    RecentFileList list(4);
    for (const char* path : {"/a", "/b", "/c", "/d", "/c", "/e"}) {
        list.Add(QString::fromLatin1(path));
    }
    EXPECT_EQ(list.Entries(), (QStringList{"/e", "/c", "/d", "/b"}));
    list.Save("tezplayer tests", "recent");
    RecentFileList loaded(4);
    loaded.Load("tezplayer tests", "recent");
    EXPECT_EQ(loaded.Entries(), list.Entries());
    RecentFileList shorter(4);
    shorter.Add("/f");
    shorter.Save("tezplayer tests", "recent");
    loaded.Load("tezplayer tests", "recent");
    EXPECT_EQ(loaded.Entries(), QStringList{"/f"});
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
