// The score form's File > Save to the score: the box's text becomes the score file.
#include <QFile>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "box_filler.h"
#include "line_tags.h"
#include "score/atomic_file.h"
#include "score/smf_writer.h"
#include "tezplayer_view.h"

namespace tez {

namespace {

// The box's text as the file's bytes, with the line ends the file had. The raw text keeps
// every character as typed (the plain text turns a no-break space into a space).
std::string FileBytesOf(const QPlainTextEdit& box, const std::string& fileText) {
    QString text = box.document()->toRawText().replace(QChar::ParagraphSeparator, u'\n');
    if (fileText.find("\r\n") != std::string::npos) {
        text.replace(u'\n', QStringLiteral("\r\n"));
    }
    return text.toLocal8Bit().toStdString();
}

}  // namespace

void DEzazerireVuvu::OnSaveToScore() {
    if (filler_->IsFilling()) {
        return;  // the box does not hold the whole text yet
    }
    if (m_pathName.empty()) {
        ShowMessage(kMessageFilenameEmpty);
        return;
    }
    std::string bytes = FileBytesOf(*scoreBox_, m_scoreText.Text());
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (WriteFileSafely(m_pathName, {data, bytes.size()}) != WriteStatus::kOk) {
        ShowMessage(kMessageFileWriteError);
        return;
    }
    const PlaybackPlace place = PlaceBeforeSave();
    // The save is taken here at once; the follower is not to take it again.
    follower_.Follow(follower_.Path());
    QTextDocument& document = *scoreBox_->document();
    if (loopedLines_) {
        MarkLines(document, loopedLines_->first, loopedLines_->last);
    }
    m_scoreText = std::move(bytes);
    m_scoreText.Compact();
    scoreTextChanged_ = false;
    markedLines_ = TagScoreLines(document, m_scoreText.BreaksWithinLines());
    if (loopedLines_) {
        loopedLines_ = markedLines_;
    }
    document.setModified(false);
    ShowStatus(kStatusFileSaved);
    if (followFile_) {
        RunScorePass([this, place] { GoOnAfterSave(place); });
    } else {
        RunScorePass();
    }
}

}  // namespace tez
