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

// The box's text as it stands. The raw text keeps every character as typed (the plain text
// turns a no-break space into a space).
QString RawBoxText(const QPlainTextEdit& box) {
    return box.document()->toRawText().replace(QChar::ParagraphSeparator, u'\n');
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

std::optional<std::string> DEzazerireVuvu::FileBytesOfBox() {
    const QString text = RawBoxText(*scoreBox_);
    std::string bytes;
    if (EncodeKeepingLines(text, m_scoreText.Text(), encoding_, bytes)) {
        return bytes;
    }
    // Written as it is, the score would lose those characters.
    const QString question = QString::fromLatin1(kQuestionEncodingCannotHold)
                                 .arg(EncodingName(encoding_), EncodingName(TextEncoding::kUtf8));
    const QStringList choices{QStringLiteral("Save as &UTF-8"), QStringLiteral("Cancel")};
    if (prompts_.Ask(this, question, choices) != 0) {
        return std::nullopt;
    }
    SetEncoding(TextEncoding::kUtf8);
    chosenEncoding_.reset();
    bytes.clear();
    EncodeText(text, encoding_, bytes);
    return bytes;
}

bool DEzazerireVuvu::WriteBoxTo(const std::string& path) {
    std::optional<std::string> encoded = FileBytesOfBox();
    if (!encoded) {
        return false;
    }
    std::string bytes = std::move(*encoded);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    WriteStatus written;
    {
        const auto hold = HoldStops(stops_);
        written = WriteFileSafely(path, {data, bytes.size()});
    }
    if (written != WriteStatus::kOk) {
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
    if (loopedLines_ && PlaysBox()) {
        // A loop of the box's typing names the box's lines.
        MarkBlocks(document, loopedLines_->first - 1, loopedLines_->last - 1);
    } else if (loopedLines_) {
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
