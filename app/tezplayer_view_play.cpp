// The score form's Play menu: playing from the cursor, tempo and key, following the file,
// and the highlight of the line now sounding.
#include <QAction>
#include <QFile>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <algorithm>

#include "box_filler.h"
#include "framework/frame_wnd.h"
#include "framework/win_app.h"
#include "line_highlight.h"
#include "main_frame.h"
#include "piano_roll_link.h"
#include "resource_ids.h"
#include "score/smf_writer.h"
#include "tezplayer_view.h"

namespace tez {

namespace {

// About 30 looks a second: the highlight keeps up with the music without costing the
// UI thread anything noticeable.
constexpr int kPositionPollMs = 33;
const QString kSettingsSection = QStringLiteral("Settings");
const QString kFollowFileEntry = QStringLiteral("FollowFile");

// What the playback pane shows: only what differs from the score as written.
QString TempoAndKeyText(const TempoAndKey& adjustments) {
    QStringList parts;
    if (adjustments.tempoPercent != 100) {
        parts << QStringLiteral("ﾃﾝﾎﾟ×%1").arg(adjustments.TempoFactor());
    }
    if (adjustments.transpose != 0) {
        parts << QStringLiteral("移調%1%2")
                     .arg(adjustments.transpose > 0 ? QStringLiteral("+") : QString())
                     .arg(adjustments.transpose);
    }
    return parts.join(u' ');
}

// The onset of a line that sounded; nothing before any did.
std::optional<std::uint64_t> OnsetOfLine(const NoteTable& table, std::int32_t line) {
    return line > 0 ? LineOnsetTick(table, line) : std::nullopt;
}

}  // namespace

void DEzazerireVuvu::OnPlayStop() {
    boxConversion_.reset();
    loopedLines_.reset();
    playback_.OnPlayStop();
    followSounding_ = true;
    WatchPosition();
}

void DEzazerireVuvu::OnPlayFromCursor() {
    const QTextCursor cursor = scoreBox_->textCursor();
    const QTextBlock startBlock = scoreBox_->document()->findBlock(cursor.selectionStart());
    const QTextBlock endBlock = scoreBox_->document()->findBlock(cursor.selectionEnd());
    // A selection of whole lines ends at the start of the line after them.
    const bool endsBefore = endBlock.blockNumber() > startBlock.blockNumber() &&
                            endBlock.position() == cursor.selectionEnd();
    const CursorBlocks blocks{startBlock.blockNumber(),
                              endBlock.blockNumber() - (endsBefore ? 1 : 0), cursor.hasSelection()};
    boxConversion_.reset();  // this play replaces one still waiting for its conversion
    // What plays is what the box shows: typing not saved yet plays from memory.
    if (BoxHoldsTyping() &&
        static_cast<std::size_t>(scoreBox_->document()->characterCount()) >= kConvertAsideBytes) {
        ConvertBoxAside(scoreBox_->toPlainText(), blocks);
        return;
    }
    std::optional<std::string> text = UnsavedBoxText();
    PlayCursorBlocks(text ? MusicOfBox(boxMusic_.Convert(std::move(*text))) : nullptr, blocks);
}

void DEzazerireVuvu::PlayCursorBlocks(const MusicInMemory* music, const CursorBlocks& blocks) {
    const bool box = music != nullptr;
    const std::int32_t first = LineOfBlock(blocks.first, box);
    const std::int32_t last = LineOfBlock(blocks.last, box, true);
    const std::optional<PlaybackOptions> options =
        OptionsForLines(TableOf(music), first, last, blocks.loop);
    if (!options) {
        ShowMessage(kMessageNoScoreData);
        return;
    }
    loopedLines_.reset();
    if (blocks.loop) {
        loopedLines_ = MarkedLines{first, last};
    }
    playback_.PlayWith(*options, {}, music);
    followSounding_ = true;
    WatchPosition();
}

void DEzazerireVuvu::ConvertBoxAside(QString shown, const CursorBlocks& blocks) {
    WaitForBoxConversion();
    auto aside = std::make_shared<BoxConversion>();
    aside->blocks = blocks;
    aside->lastText = boxMusic_.LastText();
    boxConversion_ = aside;
    // The same steps as UnsavedBoxText and BoxMusic::Convert, on copies: a large text's
    // comparison, encoding and conversion would each hold the window up.
    boxConverter_ = std::thread(
        [this, aside, shown = std::move(shown), file = m_scoreText, encoding = encoding_] {
            aside->typed = shown != AsBoxText(DecodeText(file.Text(), encoding));
            if (aside->typed) {
                std::string text;
                EncodeText(shown, encoding, text);
                aside->sameText = aside->lastText && text == *aside->lastText;
                aside->converted = aside->sameText || aside->music.Convert(std::move(text));
            }
            QMetaObject::invokeMethod(
                this, [this, aside] { TakeBoxConversion(*aside); }, Qt::QueuedConnection);
        });
}

void DEzazerireVuvu::TakeBoxConversion(BoxConversion& aside) {
    if (boxConversion_.get() != &aside) {
        return;
    }
    const std::shared_ptr<BoxConversion> keep = std::move(boxConversion_);
    if (!aside.typed) {
        boxMusic_.Forget();
        PlayCursorBlocks(nullptr, aside.blocks);
        return;
    }
    if (!aside.sameText) {
        boxMusic_ = std::move(aside.music);  // a failed conversion leaves none, as at once
    } else if (boxMusic_.LastText() != aside.lastText) {
        // The box's music was made again of other text meanwhile.
        aside.converted = boxMusic_.Convert(std::string(*aside.lastText));
    }
    PlayCursorBlocks(MusicOfBox(aside.converted), aside.blocks);
}

void DEzazerireVuvu::WaitForBoxConversion() {
    if (boxConverter_.joinable()) {
        boxConverter_.join();
    }
}

const MusicInMemory* DEzazerireVuvu::MusicShown() {
    std::optional<std::string> text = UnsavedBoxText();
    return text ? MusicOfBox(boxMusic_.Convert(std::move(*text))) : nullptr;
}

std::optional<std::string> DEzazerireVuvu::UnsavedBoxText() {
    if (!HoldsUnsavedTyping()) {
        boxMusic_.Forget();
        return std::nullopt;
    }
    std::string text;
    EncodeText(scoreBox_->toPlainText(), encoding_, text);
    return text;
}

const MusicInMemory* DEzazerireVuvu::MusicOfBox(bool converted) {
    if (!converted) {
        ShowMessage(kMessageOutOfMemory);
        return nullptr;
    }
    return &boxMusic_.Music();
}

int DEzazerireVuvu::BlockOfLine(std::int32_t line, bool box) const {
    if (!box) {
        return BlockOfScoreLine(*scoreBox_->document(), line);
    }
    return line >= 1 && line <= scoreBox_->document()->blockCount() ? line - 1 : -1;
}

std::int32_t DEzazerireVuvu::LineOfBlock(int block, bool box, bool before) const {
    return box ? block + 1 : ScoreLineOfBlock(*scoreBox_->document(), block, before);
}

void DEzazerireVuvu::OnTempoSlower() {
    tempoAndKey_.Slower();
    ApplyTempoAndKey();
}
void DEzazerireVuvu::OnTempoFaster() {
    tempoAndKey_.Faster();
    ApplyTempoAndKey();
}
void DEzazerireVuvu::OnTransposeDown() {
    tempoAndKey_.Down();
    ApplyTempoAndKey();
}
void DEzazerireVuvu::OnTransposeUp() {
    tempoAndKey_.Up();
    ApplyTempoAndKey();
}
void DEzazerireVuvu::OnPlainTempoAndKey() {
    tempoAndKey_ = TempoAndKey{};
    ApplyTempoAndKey();
}

void DEzazerireVuvu::ApplyTempoAndKey() {
    playback_.SetTempoAndTranspose(tempoAndKey_.TempoFactor(), tempoAndKey_.transpose);
    if (auto* frame = dynamic_cast<CMainFrame*>(GetParentFrame())) {
        frame->SetPlaybackPane(TempoAndKeyText(tempoAndKey_));
    }
    // A change is heard at once: the music goes on from where it is.
    if (playback_.IsPlaying()) {
        ContinuePlayback(playback_.Position().line.load(), std::nullopt);
    }
}

void DEzazerireVuvu::LoadFollowFileSetting() {
    CFrameWnd* frame = GetParentFrame();
    if (frame == nullptr || frame->GetApp() == nullptr) {
        return;
    }
    followFile_ = frame->GetApp()->GetProfileInt(kSettingsSection, kFollowFileEntry, 0) != 0;
    QAction* action = frame->CommandAction(ids::kFollowFile);
    action->setCheckable(true);
    action->setChecked(followFile_);
    FollowOpenedFile();
}

void DEzazerireVuvu::OnFollowFile() {
    followFile_ = !followFile_;
    if (CFrameWnd* frame = GetParentFrame()) {
        frame->CommandAction(ids::kFollowFile)->setChecked(followFile_);
        if (frame->GetApp() != nullptr) {
            frame->GetApp()->WriteProfileInt(kSettingsSection, kFollowFileEntry, followFile_);
        }
    }
    FollowOpenedFile();
}

void DEzazerireVuvu::FollowOpenedFile() {
    const QString path = followFile_ ? QFile::decodeName(m_pathName.c_str()) : QString();
    if (path != follower_.Path()) {
        follower_.Follow(path);
    }
}

void DEzazerireVuvu::OnScoreSaved() {
    const PlaybackPlace place = PlaceBeforeSave();
    // A version that cannot be read leaves the playback on the one before.
    Reload(true, [this, place] { GoOnAfterSave(place); });
}

DEzazerireVuvu::PlaybackPlace DEzazerireVuvu::PlaceBeforeSave() const {
    const std::int32_t line = playback_.Position().line.load();
    // A playback of the box's typing counts the box's lines, which the save makes the file's.
    const NoteTable& table = PlaysBox() && boxMusic_.Holds() ? boxMusic_.Table() : m_notes;
    return {playback_.IsPlaying(), loopedLines_.has_value(), line, OnsetOfLine(table, line)};
}

void DEzazerireVuvu::GoOnAfterSave(const PlaybackPlace& place) {
    if (!place.playing || !HasNoteRecord()) {
        return;
    }
    ContinuePlayback(place.line, place.lineOnset);
    if (place.looping && !loopedLines_) {
        ShowStatus(kStatusLoopGone);
    }
}

void DEzazerireVuvu::ContinuePlayback(std::int32_t line, std::optional<std::uint64_t> lineWas) {
    // A playback of the file goes on in the file; one of the box's typing in what the box
    // shows now.
    const MusicInMemory* music = PlaysBox() ? MusicShown() : nullptr;
    const NoteTable& table = TableOf(music);
    const std::uint64_t tick = playback_.Position().tick.load();
    const std::uint64_t goesOn = ContinuationTick(lineWas, OnsetOfLine(table, line), tick);
    const std::int64_t shift = static_cast<std::int64_t>(goesOn) - static_cast<std::int64_t>(tick);
    // The loop goes on from where it stood when that is still inside it.
    std::optional<PlaybackOptions> options =
        loopedLines_ ? OptionsForLines(table, loopedLines_->first, loopedLines_->last, true)
                     : std::nullopt;
    if (!options) {
        // No loop, or the lines it held are gone: the music plays on to the end.
        loopedLines_.reset();
        options = playback_.LatestOptions();
        options->loops = 0;
        options->toTick = kEndOfFile;
    }
    playback_.PlayWith(*options, shift, music);
    WatchPosition();
}

void DEzazerireVuvu::WatchPosition() {
    if (!positionPoll_.isActive()) {
        positionPoll_.start(kPositionPollMs);
    }
    ShowPosition();
}

void DEzazerireVuvu::ShowPosition() {
    if (pianoRoll_) {
        pianoRoll_->ShowPosition();
    }
    if (!playback_.IsWorkerRunning()) {
        positionPoll_.stop();
        HighlightLine(*scoreBox_, 0);
        return;
    }
    // While a large text is still being filled in, its new lines are not tagged yet: finding
    // the sounding line among them would walk the whole box at every look. The highlight
    // waits where it is until the box holds the text whole.
    if (filler_->IsFilling()) {
        return;
    }
    HighlightLine(*scoreBox_, BlockOfLine(playback_.Position().line.load(), PlaysBox()) + 1,
                  followSounding_);
}

int DEzazerireVuvu::SoundingLine() const {
    const int line = HighlightedLine(*scoreBox_);
    return line > 0 ? LineOfBlock(line - 1, PlaysBox()) : 0;
}

}  // namespace tez
