// The score form's File > Save to the score: the box's text becomes the score file.
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "box_filler.h"
#include "framework/user_prompts.h"
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
    if (!boxFile_) {
        OnSaveAs();  // a new score has no file yet
        return;
    }
    if (ChangedSince(boxFile_->path, boxFile_->stamp)) {
        // Another program wrote the file since the box's text was read from it.
        const QStringList choices{QStringLiteral("&Overwrite"), QStringLiteral("&Reload"),
                                  QStringLiteral("Cancel")};
        switch (prompts_.Ask(this, QString::fromLatin1(kQuestionFileChanged), choices)) {
            case 0:
                break;
            case 1:
                // The typing replaced is one step of the undo history, as at any refresh.
                OnReload();
                return;
            default:
                return;
        }
    }
    WriteBoxTo(boxFile_->path);
}

bool DEzazerireVuvu::OnSaveAs() {
    if (filler_->IsFilling()) {
        return false;
    }
    const QString current = boxFile_ ? QFile::decodeName(boxFile_->path.c_str()) : QString();
    const OpenFileRequest request{QStringLiteral("tez"), current, QString()};
    const std::optional<QString> chosen = prompts_.SaveFile(this, request);
    if (!chosen) {
        return false;
    }
    const std::string path = QFile::encodeName(QFileInfo(*chosen).absoluteFilePath()).toStdString();
    const bool anotherFile = path != m_pathName;
    if (!WriteBoxTo(path)) {
        return false;
    }
    if (anotherFile) {
        FollowOpenedFile();
    }
    return true;
}

bool DEzazerireVuvu::WriteBoxTo(const std::string& path) {
    std::string bytes = FileBytesOf(*scoreBox_, m_scoreText.Text());
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (WriteFileSafely(path, {data, bytes.size()}) != WriteStatus::kOk) {
        ShowMessage(kMessageFileWriteError);
        return false;
    }
    const std::optional<FileStamp> stamp = StampAfterWrite(path, bytes);
    textFile_ = ShownFile{path, stamp.value_or(FileStamp{})};
    boxFile_ = textFile_;
    const bool sameFile = path == m_pathName;
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
    if (!sameFile) {
        m_pathName = path;  // what is converted from now on is the file just written
    }
    if (followFile_) {
        RunScorePass([this, place] { GoOnAfterSave(place); });
    } else {
        RunScorePass();
    }
    return true;
}

}  // namespace tez
