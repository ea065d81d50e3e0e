// Which score line each line of the box shows, for every character the box breaks a line at;
// a long text replaced in the box a piece at a time.
#include "line_tags.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "box_filler.h"
#include "kept_text.h"

namespace tez {
namespace {

struct TagCase {
    const char* name;
    std::string text;
    std::vector<std::int32_t> scoreLines;  // of each box line
};

class LineTagsTest : public ::testing::TestWithParam<TagCase> {};

// The box is given the text as the form gives it; only a line feed ends a score line.
TEST_P(LineTagsTest, EachBoxLineShowsItsScoreLine) {
    KeptText kept;
    kept = GetParam().text;
    QTextDocument document;
    QTextCursor(&document).insertText(AsBoxText(QString::fromUtf8(GetParam().text)));
    TagScoreLines(document, kept.BreaksWithinLines());
    std::vector<std::int32_t> tags;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        tags.push_back(block.userState());
    }
    EXPECT_EQ(tags, GetParam().scoreLines);
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, LineTagsTest,
    ::testing::Values(
        TagCase{"LineFeeds", "a\nb\n", {1, 2, 3}},
        TagCase{"CarriageReturnAlone", "a\rb\nc", {1, 1, 2}},
        TagCase{"CarriageReturnAndLineFeed", "a\r\nb\rc\n", {1, 2, 2, 3}},
        TagCase{"ParagraphSeparatorAndFrameMarks", "a\u2029b\uFDD0c\uFDD1d\ne", {1, 1, 1, 1, 2}},
        // Neither breaks a box line, though their bytes start as the marks' do.
        TagCase{"LineSeparatorAndHalfwidthKana", "\uFF9A\uFF83\u2028x\ry\n", {1, 1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

QString Lines(int count, int key) {
    QString lines;
    for (int line = 0; line < count; ++line) {
        lines += QStringLiteral("I12 K%1 V90 L8\n").arg(key + line % 12);
    }
    return lines;
}

// Old and new texts longer than a piece: the box is read-only until the new text is in whole,
// the lines around the change keep their blocks, and no step of it can be undone.
TEST(ReplaceChangedTextTest, ALongTextIsReplacedPieceByPiece) {
    const struct { int oldLines, newLines; } cases[] = {{40000, 40000}, {40000, 10}, {10, 40000}};
    for (const auto& c : cases) {
        QPlainTextEdit box;
        box.setPlainText("first\n" + Lines(c.oldLines, 48) + "last");
        box.document()->firstBlock().setUserState(7);
        box.document()->lastBlock().setUserState(9);
        int done = 0;
        BoxFiller filler(box, [&done] { ++done; });
        const QString text = "first\n" + Lines(c.newLines, 72) + "last";
        ASSERT_TRUE(ReplaceChangedText(box, text, false, filler)) << c.oldLines;
        EXPECT_TRUE(box.isReadOnly());
        ASSERT_TRUE(QTest::qWaitFor([&filler] { return !filler.IsFilling(); }, 20000));
        EXPECT_EQ(box.toPlainText(), text);
        EXPECT_EQ(done, 1);
        EXPECT_FALSE(box.isReadOnly());
        EXPECT_FALSE(box.document()->isUndoAvailable());
        EXPECT_EQ(box.document()->firstBlock().userState(), 7);
        EXPECT_EQ(box.document()->lastBlock().userState(), 9);
    }
}

}  // namespace
}  // namespace tez
