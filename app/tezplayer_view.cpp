#include "tezplayer_view.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <array>

#include "box_filler.h"
#include "control/score_passes.h"
#include "form_keys.h"
#include "framework/command_ids.h"
#include "framework/dialog_units.h"
#include "framework/frame_wnd.h"
#include "framework/user_prompts.h"
#include "line_tags.h"
#include "main_frame.h"
#include "piano_roll_link.h"
#include "playback/midi_out_port.h"
#include "resource_ids.h"

namespace tez {

namespace {

// Dialog template 101, in dialog units.
constexpr int kFormWidth = 320;
constexpr int kFormHeight = 200;

struct ControlPlace {
    int id;
    int x, y, width, height;
};

constexpr std::array<ControlPlace, 5> kFormControls = {{
    {ids::kPlayStopButton, 7, 7, 44, 14},
    {ids::kScoreBox, 7, 27, 306, 166},
    {ids::kStatusBox, 99, 7, 87, 14},
    {ids::kReloadButton, 53, 7, 44, 14},
    {ids::kDeviceList, 188, 7, 124, 57},  // the height includes the dropped-down list
}};

QString ToQString(const std::string& text) {
    return QString::fromLocal8Bit(text);
}
std::string ToBytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

QString DeviceEntryName(MidiDevices& devices, int id) {
    CMidiOutPort port(devices);
    std::array<char, 256> name{};
    port.GetDeviceName(id, name.data(), name.size());
    if (name[0] != '\0') {
        return QString::fromLocal8Bit(name.data());
    }
    return id < 0 ? QStringLiteral("synthesizer") : QStringLiteral("MIDI output %1").arg(id);
}

}  // namespace

DEzazerireVuvu::DEzazerireVuvu(UserPrompts& prompts, MidiDevices& devices,
                               const DeferredStops* stops)
    : prompts_(prompts),
      devices_(devices),
      stops_(stops),
      follower_([this] { OnScoreSaved(); }),
      playback_(*this, devices) {
    CreateControls();
    connect(&positionPoll_, &QTimer::timeout, this, [this] { ShowPosition(); });
}

DEzazerireVuvu::~DEzazerireVuvu() {
    WaitForConversion();
    WaitForBoxConversion();
    pianoRoll_.reset();
    playback_.StopForExit();
    FreeNoteTable(m_notes);
}

void DEzazerireVuvu::CreateControls() {
    setFont(DialogFont());
    const DialogUnits units(font());
    formSize_ = units.ToPixels(kFormWidth, kFormHeight);

    auto* playStop = new QPushButton(QStringLiteral("Play/Stop"), this);
    scoreBox_ = new QPlainTextEdit(this);
    filler_ = std::make_unique<BoxFiller>(*scoreBox_, [this] { BoxTextShown(); });
    statusBox_ = new QLineEdit(this);
    auto* reload = new QPushButton(QStringLiteral("Reload"), this);
    m_deviceList = new QComboBox(this);

    scoreBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
    scoreBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scoreBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_deviceList->setEditable(true);
    m_deviceList->setInsertPolicy(QComboBox::NoInsert);

    controls_ = {{ids::kPlayStopButton, playStop},
                 {ids::kScoreBox, scoreBox_},
                 {ids::kStatusBox, statusBox_},
                 {ids::kReloadButton, reload},
                 {ids::kDeviceList, m_deviceList}};
    QWidget* previous = nullptr;
    for (const ControlPlace& place : kFormControls) {
        QWidget* control = controls_.value(place.id);
        control->setObjectName(QString::number(place.id));
        control->setGeometry(units.ToPixels(place.x, place.y, place.width, place.height));
        if (previous != nullptr) {
            setTabOrder(previous, control);
        }
        previous = control;
    }
    // The drop-down's template height covers its list: the closed box keeps its natural
    // height and the list shows as many entries as fit in the rest.
    const QRect listPlace = m_deviceList->geometry();
    const int boxHeight = m_deviceList->sizeHint().height();
    m_deviceList->setGeometry(listPlace.x(), listPlace.y(), listPlace.width(), boxHeight);
    const int entryHeight = std::max(1, m_deviceList->fontMetrics().height() + 2);
    m_deviceList->setMaxVisibleItems(std::max(1, (listPlace.height() - boxHeight) / entryHeight));

    // The view follows the sounding line until the musician scrolls or moves the cursor.
    connect(scoreBox_->verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { followSounding_ = false; });
    connect(scoreBox_, &QPlainTextEdit::cursorPositionChanged, this,
            [this] { followSounding_ = followSounding_ && refreshingBox_; });
    connect(scoreBox_->document(), &QTextDocument::modificationChanged, this, [this](bool typed) {
        if (!refreshingBox_ && !filler_->IsFilling()) {
            ShowUnsavedPane(typed);
        }
    });
    new FormKeys(scoreBox_, {playStop, reload});
    connect(playStop, &QPushButton::clicked, this, [this] { OnPlayStop(); });
    connect(reload, &QPushButton::clicked, this, [this] { OnReload(); });
    connect(m_deviceList, &QComboBox::activated, this, [this] { OnSelchangeDeviceList(); });
    boxPlace_ = scoreBox_->geometry();
    setMinimumSize(formSize_);
    resize(formSize_);
}

void DEzazerireVuvu::resizeEvent(QResizeEvent* event) {
    // The controls above the box keep their places; the box takes the room the window adds.
    const QSize added = (size() - formSize_).expandedTo(QSize(0, 0));
    scoreBox_->setGeometry(boxPlace_.adjusted(0, 0, added.width(), added.height()));
    CView::resizeEvent(event);
}

bool DEzazerireVuvu::OnCmdMsg(unsigned id, CommandMode mode) {
    switch (id) {
        case ids::kFileOpen:
            return Handle(mode, [this] { OnFileOpen(); });
        case ids::kPlayFromCursor:
            return Handle(mode, [this] { OnPlayFromCursor(); });
        case ids::kTempoSlower:
            return Handle(mode, [this] { OnTempoSlower(); });
        case ids::kTempoFaster:
            return Handle(mode, [this] { OnTempoFaster(); });
        case ids::kTransposeDown:
            return Handle(mode, [this] { OnTransposeDown(); });
        case ids::kTransposeUp:
            return Handle(mode, [this] { OnTransposeUp(); });
        case ids::kPlainTempoAndKey:
            return Handle(mode, [this] { OnPlainTempoAndKey(); });
        case ids::kFollowFile:
            return Handle(mode, [this] { OnFollowFile(); });
        case ids::kPianoRoll:
            return pianoRoll_ && Handle(mode, [this] { pianoRoll_->OnToggle(); });
        case ids::kPause:
            return pianoRoll_ && Handle(mode, [this] { pianoRoll_->OnPause(); });
        case ids::kSaveToScore:
            return Handle(mode, [this] { OnSaveToScore(); });
        case ids::kSaveAs:
            return Handle(mode, [this] { OnSaveAs(); });
        case ids::kReopenInEncoding:
            return Handle(mode, [this] { OnReopenInEncoding(); });
        case ids::kImportMidi:
            return Handle(mode, [this] { OnImportMidi(); });
        default:
            return CView::OnCmdMsg(id, mode);
    }
}

void DEzazerireVuvu::DoDataExchange(bool saveAndValidate) {
    if (saveAndValidate) {
        // An unedited box still shows m_scoreText, which keeps the file's own bytes.
        if (BoxHoldsTyping()) {
            std::string typed;
            EncodeText(scoreBox_->toPlainText(), encoding_, typed);
            SetScoreText(std::move(typed));
        }
        m_status = ToBytes(statusBox_->text());
        return;
    }
    // A score with no file has nothing to refresh its typing from: the typing is the score.
    const bool refreshTyping = BoxHoldsTyping() && !m_pathName.empty();
    if ((scoreTextChanged_ || refreshTyping) && !keepTyping_) {
        // Typing replaced is one step of the undo history, so Ctrl+Z brings it back; a box
        // without typing starts its history afresh rather than keep every version shown, and
        // so does another score: undo never brings back a text of another file.
        filler_->Cancel();
        markedLines_.reset();
        refreshingBox_ = true;
        const bool typing = BoxHoldsTyping() && !freshHistory_;
        freshHistory_ = false;
        boxFile_ = textFile_;
        if (!ReplaceChangedText(*scoreBox_, AsBoxText(ShownText()), typing, *filler_) && typing) {
            BoxTextShown();
        }
        refreshingBox_ = false;
        scoreTextChanged_ = false;
        // The box holds the text from here on; this copy is only read back now and then. It
        // is packed once the first lines are on the screen, long before a large score is in
        // the box whole.
        QTimer::singleShot(0, this, [this] { m_scoreText.Compact(); });
    }
    statusBox_->setText(ToQString(m_status));
}

bool DEzazerireVuvu::BoxHoldsTyping() const {
    return !filler_->IsFilling() && scoreBox_->document()->isModified();
}

bool DEzazerireVuvu::HoldsUnsavedTyping() const {
    return BoxHoldsTyping() && scoreBox_->toPlainText() != AsBoxText(ShownText());
}

void DEzazerireVuvu::SetEncoding(TextEncoding encoding) {
    encoding_ = encoding;
    if (auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame())) {
        frame->SetEncodingPane(encoding == TextEncoding::kUtf8 ? QString()
                                                               : EncodingName(encoding));
    }
}

QString DEzazerireVuvu::ShownText() const {
    return DecodeText(m_scoreText.Text(), encoding_);
}

void DEzazerireVuvu::ForgetUndoHistory() {
    scoreBox_->document()->clearUndoRedoStacks();
}

bool DEzazerireVuvu::SaveModified() {
    if (!HoldsUnsavedTyping()) {
        return true;
    }
    const QStringList choices{QStringLiteral("&Save"), QStringLiteral("&Discard"),
                              QStringLiteral("Cancel")};
    switch (prompts_.Ask(this, QString::fromLatin1(kQuestionUnsavedTyping), choices)) {
        case 0:
            return boxFile_ ? WriteBoxTo(boxFile_->path) : OnSaveAs();
        case 1:
            return true;
        default:
            return false;
    }
}

void DEzazerireVuvu::BoxTextShown() {
    scoreBox_->document()->setModified(false);
    markedLines_ = TagScoreLines(*scoreBox_->document(), m_scoreText.BreaksWithinLines());
    ShowUnsavedPane(false);
}

void DEzazerireVuvu::ShowUnsavedPane(bool unsaved) {
    if (auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame())) {
        frame->ShowUnsavedPane(unsaved);
    }
}

void DEzazerireVuvu::ShowStatus(const std::string& status) {
    keepTyping_ = BoxHoldsTyping();
    SetStatusAndRefresh(status);
    keepTyping_ = false;
}

void DEzazerireVuvu::OnInitialUpdate() {
    CView::OnInitialUpdate();
    if (CFrameWnd* frame = GetParentFrame()) {
        frame->RecalcLayout();
        frame->ResizeToFitClient(formSize_, true);
    }
    FillDeviceList();
    LoadFollowFileSetting();
    if (!pianoRoll_ && GetParentFrame() != nullptr) {
        pianoRoll_ = std::make_unique<PianoRollLink>(*this);
    }
}

void DEzazerireVuvu::FillDeviceList() {
    const int count = devices_.Count();
    m_deviceList->clear();
    for (int id = -1; id < count; ++id) {
        m_deviceList->addItem(DeviceEntryName(devices_, id));
    }
    m_deviceList->setCurrentIndex(0);
}

void DEzazerireVuvu::SetScoreText(std::string text) {
    if (text.empty()) {
        textFile_.reset();
    }
    m_scoreText = std::move(text);
    scoreTextChanged_ = true;
    boxConversion_.reset();  // a play of the box asked before plays lines no longer there
}

void DEzazerireVuvu::OnFileOpen() {
    if (!SaveModified()) {
        return;
    }
    const OpenFileRequest request{QStringLiteral("tez"), QStringLiteral("*.tez"), QString()};
    UpdateData(true);
    SetScoreText(std::string());
    freshHistory_ = true;
    if (const std::optional<QString> chosen = prompts_.OpenFile(this, request)) {
        m_pathName = QFile::encodeName(*chosen).toStdString();
        chosenEncoding_.reset();
        if (!RunTextPass()) {
            return;
        }
    }
    UpdateData(false);
    RunScorePass();
    FollowOpenedFile();
}

void DEzazerireVuvu::OpenNamedScore(const QString& path) {
    SetScoreText(std::string());
    freshHistory_ = true;
    m_pathName = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
    chosenEncoding_.reset();
    if (!RunTextPass()) {
        return;
    }
    UpdateData(false);
    RunScorePass();
    FollowOpenedFile();
}

void DEzazerireVuvu::OnReload() {
    Reload(false);
}

void DEzazerireVuvu::OnReopenInEncoding() {
    if (m_pathName.empty()) {
        ShowMessage(kMessageFilenameEmpty);
        return;
    }
    if (!SaveModified()) {
        return;
    }
    QStringList choices;
    for (const TextEncoding encoding : kTextEncodings) {
        choices << QStringLiteral("&") + EncodingName(encoding);
    }
    choices << QStringLiteral("Cancel");
    const int answer = prompts_.Ask(this, QString::fromLatin1(kQuestionReopenEncoding), choices);
    if (answer < 0 || answer >= static_cast<int>(std::size(kTextEncodings))) {
        return;
    }
    chosenEncoding_ = kTextEncodings[answer];
    // Undo must not bring back the text as read in the other encoding: saved in this one,
    // its characters would become others.
    freshHistory_ = true;
    OnReload();
}

void DEzazerireVuvu::Reload(bool followed, std::function<void()> then) {
    followedPass_ = followed;
    if (ReloadText(followed)) {
        RunScorePass(std::move(then));
    }
    followedPass_ = false;
}

bool DEzazerireVuvu::ReloadText(bool followed) {
    m_deviceList->view()->scrollToTop();
    if (m_pathName.empty()) {
        ShowMessage(kMessageFilenameEmpty);  // and the box keeps what it shows
        return false;
    }
    if (!followed) {
        SetScoreText(std::string());  // a followed save that cannot be read keeps the text
    }
    if (!RunTextPass()) {
        return false;
    }
    keepTyping_ =
        followed && BoxHoldsTyping() && scoreBox_->toPlainText() != AsBoxText(ShownText());
    if (loopedLines_ && !keepTyping_) {
        MarkLines(*scoreBox_->document(), loopedLines_->first, loopedLines_->last);
    }
    UpdateData(false);
    if (loopedLines_ && !keepTyping_) {
        // The loop covers the lines it held, wherever the edit moved them.
        loopedLines_ = markedLines_;
    }
    keepTyping_ = false;
    return true;
}

bool DEzazerireVuvu::RunTextPass() {
    std::optional<ReadScoreFile> file = ReadWithStamp(m_pathName);
    if (!file) {
        ReportFailure(kMessageFileOpenError);
        return false;
    }
    std::string text = ScoreTextForDisplay(file->bytes);
    file->bytes = std::string();
    SetEncoding(chosenEncoding_.value_or(DetectEncoding(text)));
    if (followedPass_) {
        m_scoreText = std::move(text);
    } else {
        m_scoreText.Append(text);
    }
    textFile_ = ShownFile{m_pathName, file->stamp};
    scoreTextChanged_ = true;
    m_status = kStatusFileOpened;
    return true;
}

void DEzazerireVuvu::SetStatusAndRefresh(const std::string& status) {
    m_status = status;
    UpdateData(false);
}

void DEzazerireVuvu::ShowMessage(const std::string& text) {
    prompts_.MessageBox(this, ToQString(text));
}

int DEzazerireVuvu::DeviceListSelection() const {
    return m_deviceList->currentIndex();
}

}  // namespace tez
