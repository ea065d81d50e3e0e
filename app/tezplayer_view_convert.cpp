// The score form's conversion of a score into "tez_p.smf": at once for a small score, on a
// thread of its own for a large one, and how a failure is told.
#include <QMetaObject>

#include "box_filler.h"
#include "control/score_passes.h"
#include "piano_roll_link.h"
#include "tezplayer_view.h"

namespace tez {

void DEzazerireVuvu::RunScorePass(std::function<void()> then) {
    WaitForConversion();
    conversionAside_.reset();
    if (m_scoreText.Size() < kConvertAsideBytes) {
        std::vector<std::int32_t> eventLines;
        const ScorePassResult result = ConvertScoreFile(m_notes, m_pathName, &eventLines, stops_);
        TakeConversion(result, std::move(eventLines), then);
        return;
    }
    // A large score is converted aside; the old version plays on until the new one is there.
    auto converted = std::make_shared<ConversionAside>();
    converted->followed = followedPass_;
    converted->then = std::move(then);
    conversionAside_ = converted;
    conversion_ = std::thread([this, converted, path = m_pathName] {
        converted->result =
            ConvertScoreFile(converted->table, path, &converted->eventLines, stops_);
        QMetaObject::invokeMethod(
            this, [this, converted] { TakeConversionAside(*converted); }, Qt::QueuedConnection);
    });
}

void DEzazerireVuvu::TakeConversionAside(ConversionAside& converted) {
    // A later pass, in the meantime, has the last word.
    if (conversionAside_.get() != &converted) {
        return;
    }
    const std::shared_ptr<ConversionAside> keep = std::move(conversionAside_);
    if (converted.result == ScorePassResult::kConverted) {
        m_notes = std::move(converted.table);
    }
    followedPass_ = converted.followed;
    TakeConversion(converted.result, std::move(converted.eventLines), converted.then);
    followedPass_ = false;
}

void DEzazerireVuvu::WaitForConversion() {
    if (conversion_.joinable()) {
        conversion_.join();
    }
}

bool DEzazerireVuvu::IsLoading() const {
    return conversionAside_ != nullptr || filler_->IsFilling();
}

void DEzazerireVuvu::TakeConversion(ScorePassResult result, std::vector<std::int32_t> eventLines,
                                    const std::function<void()>& then) {
    switch (result) {
        case ScorePassResult::kConverted:
            // One copy of the lines, a few megabytes for a large score, serves both.
            playback_.SetEventLines(std::move(eventLines));
            if (pianoRoll_) {
                pianoRoll_->OnConverted();
            }
            if (then) {
                then();
            }
            return;
        case ScorePassResult::kOpenFailed:
            ReportFailure(kMessageFileOpenError);
            break;
        case ScorePassResult::kOutOfMemory:
            ReportFailure(kMessageOutOfMemory);
            break;
        case ScorePassResult::kWriteFailed:
            // Play would otherwise play the previous score's file without a word.
            ReportFailure(kMessageMidiWriteError);
            break;
    }
}

void DEzazerireVuvu::ReportFailure(const char* text) {
    // Saves that keep failing while the file is followed must not stack message boxes:
    // the status box says it, once, until the next save that reads.
    if (followedPass_) {
        ShowStatus(text);
    } else {
        ShowMessage(text);
    }
}

}  // namespace tez
