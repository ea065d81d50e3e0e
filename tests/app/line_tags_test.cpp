// Which score line each line of the box shows, for every character the box breaks a line at.
#include "line_tags.h"

#include <gtest/gtest.h>

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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

}  // namespace
}  // namespace tez
