// The score form: the text of the open score, the status, the device list and the
// Open, Reload and Play/Stop commands, and the Play menu's.
#pragma once

#include <QHash>
#include <QRect>
#include <QSize>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "box_music.h"
#include "control/line_range.h"
#include "control/playback_control.h"
#include "control/score_passes.h"
#include "control/tempo_and_key.h"
#include "framework/view.h"
#include "kept_text.h"
#include "line_tags.h"
#include "platform/midi_devices.h"
#include "score/note_table.h"
#include "score_encoding.h"
#include "score_file.h"
#include "score_follower.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tez {

class PianoRollLink;
class BoxFiller;
class UserPrompts;

inline constexpr const char* kStatusNoFile = "no file";
inline constexpr const char* kStatusFileOpened = "file opened";
inline constexpr const char* kMessageFileOpenError = "file open error";
inline constexpr const char* kMessageFilenameEmpty = "filename is empty.";
inline constexpr const char* kMessageMidiWriteError = "tez_p.smf write error";
inline constexpr const char* kMessageOutOfMemory = "out of memory";
inline constexpr const char* kStatusLoopGone = "loop lines gone";
inline constexpr const char* kStatusFileSaved = "file saved";
inline constexpr const char* kMessageFileWriteError = "file write error";
inline constexpr const char* kQuestionFileChanged = "the file changed on disk since it was read.";
inline constexpr const char* kQuestionUnsavedTyping = "the score has typing that is not saved.";
inline constexpr const char* kQuestionEncodingCannotHold =
    "the score holds characters that %1 cannot hold: save it in %2?";
inline constexpr const char* kQuestionReopenEncoding = "reopen the score in which encoding?";
inline constexpr const char* kStatusFileImported = "file imported";
inline constexpr const char* kMessageMidiImportError = "midi import error: ";

class DEzazerireVuvu final : public CView, private PlaybackHost {
  public:
    // `stops`, when given, makes a stop signal wait for the form's writes.
    DEzazerireVuvu(UserPrompts& prompts, MidiDevices& devices,
                   const DeferredStops* stops = nullptr);
    // Stops a running playback (its device is reset) before the note table goes.
    ~DEzazerireVuvu() override;

    // Fits the frame to the form and fills the device list, entry 0 selected.
    void OnInitialUpdate() override;
    bool OnCmdMsg(unsigned id, CommandMode mode) override;

    void OnFileOpen();
    void OnReload();
    // Opens `path` as Open does when it is chosen in the dialog: for a score named on the
    // command line.
    void OpenNamedScore(const QString& path);
    void OnPlayStop();
    void CheckPlaybackThread() { playback_.CheckPlaybackThread(); }
    void OnSelchangeDeviceList() { playback_.OnSelchangeDeviceList(); }

    // The control with the given id, as the form template places it.
    QWidget* GetDlgItem(int id) const { return controls_.value(id); }
    // The form's size in pixels, from its template in dialog units.
    QSize FormSize() const { return formSize_; }

    std::string ScoreText() const { return m_scoreText.Text(); }
    const std::string& Status() const { return m_status; }
    const std::string& PathName() const { return m_pathName; }
    const NoteTable& Notes() const { return m_notes; }

    // The Play menu.
    // Plays from the cursor's line to the end; a selection of lines again and again.
    void OnPlayFromCursor();
    void OnTempoSlower();
    void OnTempoFaster();
    void OnTransposeDown();
    void OnTransposeUp();
    void OnPlainTempoAndKey();
    // Turns following the file on or off; the choice is kept in the settings.
    void OnFollowFile();
    // The File menu's save: writes the box's text to the score file, safely, and converts
    // it; while the file is followed the music goes on in it at once.
    void OnSaveToScore();
    // The File menu's Save As: writes the box's text to a file chosen in a dialog, which is
    // the score's file from then on. True when the text was written.
    bool OnSaveAs();
    // Before something replaces the box's typing that the file does not have (Open, New, a
    // recent file, Exit): asks whether to save it, discard it or keep it. False: keep it,
    // and the command is not carried out.
    bool SaveModified();
    // After New: the undo history starts afresh.
    void ForgetUndoHistory();
    // The File menu's MIDI import: converts a MIDI file chosen in a dialog into a new score,
    // which the box holds unsaved (no file yet), and reports what the score could not keep.
    void OnImportMidi();
    // The File menu's reopen: reads the score again in an encoding the user chooses, which
    // it keeps until another score is opened.
    void OnReopenInEncoding();
    // The encoding of the score shown, which a save writes it in.
    TextEncoding Encoding() const { return encoding_; }

    bool FollowsFile() const { return followFile_; }
    // True while an opened score is still being shown or converted.
    bool IsLoading() const;
    const PlaybackControl& Playback() const { return playback_; }
    // The score line highlighted as sounding; 0 when none is.
    int SoundingLine() const;

    // The piano roll pane beside the score (View menu) and the Play menu's pause.
    PianoRollLink* PianoRoll() const { return pianoRoll_.get(); }

    QSize sizeHint() const override { return formSize_; }

  protected:
    void DoDataExchange(bool saveAndValidate) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void CreateControls();
    void FillDeviceList();
    // The encoding of m_scoreText from now on, shown in the status bar.
    void SetEncoding(TextEncoding encoding);
    // m_scoreText as the box shows it.
    QString ShownText() const;
    void SetScoreText(std::string text);
    bool RunTextPass();
    // Converts the score into "tez_p.smf"; `then` runs once that holds it. A large score is
    // converted on a thread of its own, and `then` runs later on the window's.
    void RunScorePass(std::function<void()> then = {});
    void TakeConversion(ScorePassResult result, std::vector<std::int32_t> eventLines,
                        const std::function<void()>& then);
    void WaitForConversion();
    struct ConversionAside;
    void TakeConversionAside(ConversionAside& converted);
    // `followed`: a reload of following the file, which leaves typing in the box alone and
    // reports a failure in the status box. `then` runs once the new version is converted.
    void Reload(bool followed, std::function<void()> then = {});
    bool ReloadText(bool followed);
    // A message box, or the status for a followed save.
    void ReportFailure(const char* text);

    // Makes `text` the box's typing of a new score without a file, the previous score and
    // its playback gone.
    void ShowAsNewScore(const QString& text);

    void WatchPosition();
    void ShowPosition();
    void ApplyTempoAndKey();
    void LoadFollowFileSetting();
    void FollowOpenedFile();
    void OnScoreSaved();
    // Writes the box's text to `path`; a message tells why when that fails.
    bool WriteBoxTo(const std::string& path);
    // The box's text in the score's encoding; asks to change the encoding when that cannot
    // hold it. Nothing when the user keeps the box as it is.
    std::optional<std::string> FileBytesOfBox();
    // Whether the box holds typing that its file (or, for a new score, nothing) does not have.
    bool HoldsUnsavedTyping() const;
    // The music that playing from the cursor and the roll's ruler play: the box's text
    // converted in memory while it holds typing the file does not have; null for the file's
    // own conversion, "tez_p.smf".
    const MusicInMemory* MusicShown();
    // The box's text to convert for MusicShown; nothing, with the last conversion forgotten,
    // while the box holds only what its file has.
    std::optional<std::string> UnsavedBoxText();
    // The box's music after its conversion; null, with a message, when memory ran out.
    const MusicInMemory* MusicOfBox(bool converted);
    // The box's blocks (from 0) a Play from the cursor plays, and whether it loops them.
    struct CursorBlocks {
        int first = 0;
        int last = 0;
        bool loop = false;
    };
    void PlayCursorBlocks(const MusicInMemory* music, const CursorBlocks& blocks);
    // A large box's text is converted on a thread of its own; the play starts once it is
    // converted, unless a Stop or another score came in between.
    struct BoxConversion {
        CursorBlocks blocks;
        // What the box's music was made of when the play was asked for.
        std::shared_ptr<const std::string> lastText;
        // False when the box holds only what its file has: the file's conversion plays.
        bool typed = true;
        // True when the box's music is made of this text already.
        bool sameText = false;
        BoxMusic music;
        bool converted = false;
    };
    // `shown`: the box's text, which holds typing unless it is the file's.
    void ConvertBoxAside(QString shown, const CursorBlocks& blocks);
    void TakeBoxConversion(BoxConversion& aside);
    void WaitForBoxConversion();
    // The table of the music MusicShown gave.
    const NoteTable& TableOf(const MusicInMemory* music) const {
        return music != nullptr ? boxMusic_.Table() : m_notes;
    }
    // Whether the latest playback plays the box's text rather than the file.
    bool PlaysBox() const { return playback_.LatestMusic() != nullptr; }
    // Between the box's blocks (from 0) and the lines of the music played: for the box's own
    // text its lines, for the file's the score lines tagged (see line_tags.h).
    int BlockOfLine(std::int32_t line, bool box) const;
    std::int32_t LineOfBlock(int block, bool box, bool before = false) const;
    // Where a playback stands before a save, to go on from there in the new version.
    struct PlaybackPlace {
        bool playing = false;
        bool looping = false;
        std::int32_t line = -1;  // the line sounding
        std::optional<std::uint64_t> lineOnset;
    };
    PlaybackPlace PlaceBeforeSave() const;
    void GoOnAfterSave(const PlaybackPlace& place);
    // Starts the latest playback's part again from where it stands, with the current tempo,
    // key and "tez_p.smf"; `lineWas` is the onset that the line last sounded had in the
    // version playing, if it was another.
    void ContinuePlayback(std::int32_t line, std::optional<std::uint64_t> lineWas);

    bool HasNoteRecord() const override { return m_notes.HasRecords(); }
    void SetStatusAndRefresh(const std::string& status) override;
    // The refresh of the commands added to the form (playing from the cursor, tempo and
    // key, following the file): the status, and the text only when no typing would be lost.
    void ShowStatus(const std::string& status) override;
    // Whether the box holds text typed since it last showed the file.
    bool BoxHoldsTyping() const;
    // The box shows m_scoreText whole: its lines are tagged with the score's.
    void BoxTextShown();
    void ShowUnsavedPane(bool unsaved);
    void ShowMessage(const std::string& text) override;
    int DeviceListSelection() const override;

    UserPrompts& prompts_;
    MidiDevices& devices_;
    const DeferredStops* stops_;
    QHash<int, QWidget*> controls_;
    QSize formSize_;
    QRect boxPlace_;
    std::unique_ptr<BoxFiller>
        filler_;  // the score box's place in the form as the template lays it out
    QComboBox* m_deviceList = nullptr;
    QPlainTextEdit* scoreBox_ = nullptr;
    QLineEdit* statusBox_ = nullptr;
    KeptText m_scoreText;
    // Set when m_scoreText changed since it was last copied into its box: a refresh then
    // copies it again, otherwise only when the user edited the box.
    bool scoreTextChanged_ = true;
    // Set while a refresh must leave typing in the box alone.
    bool keepTyping_ = false;
    // Whether the box is kept scrolled to the sounding line.
    bool followSounding_ = true;
    bool refreshingBox_ = false;

  public:
    // A score of this size or more is converted aside: its conversion would hold the
    // window up noticeably.
    static constexpr std::size_t kConvertAsideBytes = 1 << 20;

  private:
    std::thread conversion_;
    struct ConversionAside {
        NoteTable table;
        std::vector<std::int32_t> eventLines;
        ScorePassResult result = ScorePassResult::kOpenFailed;
        bool followed = false;
        std::function<void()> then;
    };
    // The conversion under way aside; its result is taken only while it is the latest.
    std::shared_ptr<ConversionAside> conversionAside_;
    // Set during the passes of a followed save.
    bool followedPass_ = false;
    std::string m_status = kStatusNoFile;
    NoteTable m_notes;
    std::string m_pathName;
    // The encoding of m_scoreText's bytes: found at each read, unless the user chose one.
    TextEncoding encoding_ = TextEncoding::kUtf8;
    std::optional<TextEncoding> chosenEncoding_;
    // A file as read into m_scoreText or written from the box.
    struct ShownFile {
        std::string path;
        FileStamp stamp;
    };
    // The file m_scoreText holds; empty when it holds no file's text.
    std::optional<ShownFile> textFile_;
    // The file the box shows, and the version its typing started from: a save writes there,
    // never to a file the undo history reached. Empty for a new score.
    std::optional<ShownFile> boxFile_;
    // Set by Open and New: the next text the box shows starts a new undo history.
    bool freshHistory_ = false;
    BoxMusic boxMusic_;
    std::thread boxConverter_;
    // The box's conversion under way aside; its play starts only while it is the latest.
    std::shared_ptr<BoxConversion> boxConversion_;
    TempoAndKey tempoAndKey_;
    bool followFile_ = false;
    ScoreFollower follower_;
    // The lines a Play from the cursor loops, to find them again in a new version.
    std::optional<MarkedLines> loopedLines_;
    // The marked lines the last refresh found again.
    std::optional<MarkedLines> markedLines_;
    // Shows the sounding line while a playback runs.
    QTimer positionPoll_;
    friend class PianoRollLink;
    std::unique_ptr<PianoRollLink> pianoRoll_;

    // Last member: destroyed first, so a playback stops while the form is still whole.
    PlaybackControl playback_;
};

}  // namespace tez
