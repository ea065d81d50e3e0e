// The score form's File > MIDI import: a MIDI file becomes a new score in the box, and the
// window reports what the score could not keep, in the words `tez import` uses.
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "box_filler.h"
#include "framework/document.h"
#include "framework/frame_wnd.h"
#include "framework/user_prompts.h"
#include "piano_roll_link.h"
#include "playback/midi_import.h"
#include "playback/printable_name.h"
#include "score/score_layout.h"
#include "tezplayer_view.h"

namespace tez {

namespace {

// More lines would make the message box taller than a screen; `tez import` lists them all.
constexpr qsizetype kShownReportLines = 30;

// "2 kinds not kept", or that everything was kept.
std::string ImportStatus(const MidiImport& import) {
    std::size_t lost = 0;
    for (const ImportLoss& loss : import.losses) {
        lost += loss.keptOtherwise ? 0 : 1;
    }
    if (lost == 0) {
        return kStatusFileImported;
    }
    return std::to_string(lost) + (lost == 1 ? " kind not kept" : " kinds not kept");
}

// The report's lines, each led by the file's name as `tez import` prints them.
QString ImportReport(const std::string& name, const MidiImport& import) {
    QStringList lines;
    for (const ImportLoss& loss : import.losses) {
        if (lines.size() == kShownReportLines) {
            lines << QStringLiteral("... and %1 more")
                         .arg(static_cast<qsizetype>(import.losses.size()) - kShownReportLines);
            break;
        }
        lines << QString::fromLocal8Bit(name + ": " + DescribeLossAt(loss, import));
    }
    return lines.join(u'\n');
}

}  // namespace

void DEzazerireVuvu::OnImportMidi() {
    if (!SaveModified()) {
        return;
    }
    const OpenFileRequest request{QStringLiteral("mid"), QStringLiteral("*.mid *.midi *.smf"),
                                  QString()};
    const std::optional<QString> chosen = prompts_.OpenFile(this, request);
    if (!chosen) {
        return;
    }
    const MidiImport import =
        ImportMidiFile(QFile::encodeName(*chosen).toStdString(), ImportTiming::kExact);
    const std::string name =
        PrintableName(QFile::encodeName(QFileInfo(*chosen).fileName()).toStdString());
    if (!ImportedScore(import)) {
        ShowMessage(kMessageMidiImportError + name + ": " + DescribeUnreadable(import));
        return;
    }
    ShowAsNewScore(QString::fromLatin1(LayoutRecords<ImportedRecord>(import.records)));
    ShowStatus(ImportStatus(import));
    if (!import.losses.empty()) {
        prompts_.MessageBox(this, ImportReport(name, import));
    }
}

void DEzazerireVuvu::ShowAsNewScore(const QString& text) {
    // The music of the score before is not what the box shows any more.
    playback_.Stop();
    WaitForConversion();
    conversionAside_.reset();
    m_notes = NoteTable{};
    boxMusic_.Forget();
    filler_->Cancel();
    loopedLines_.reset();
    markedLines_.reset();
    // A new score: no file to save to, follow or read again, and nothing of it saved yet.
    m_pathName.clear();
    FollowOpenedFile();
    textFile_.reset();
    boxFile_.reset();
    m_scoreText = std::string();
    scoreTextChanged_ = false;
    chosenEncoding_.reset();
    SetEncoding(TextEncoding::kUtf8);
    refreshingBox_ = true;
    scoreBox_->setPlainText(text);  // the undo history starts afresh
    refreshingBox_ = false;
    // The text is typing the score has no file for: it plays from memory, and a command that
    // would lose it asks first.
    scoreBox_->document()->setModified(!text.isEmpty());
    ShowUnsavedPane(!text.isEmpty());
    if (CDocument* document = GetDocument()) {
        document->OnNewDocument();
    }
    if (CFrameWnd* frame = GetParentFrame()) {
        frame->OnUpdateFrameTitle();
    }
    if (pianoRoll_) {
        pianoRoll_->OnConverted();
    }
}

}  // namespace tez
