// The program's own resource and control ids.
#pragma once

namespace tez::ids {

inline constexpr unsigned kMainFrame = 128;  // menu, accelerators, toolbar, icon, document string
inline constexpr unsigned kDocumentIcon = 129;  // the score document's icon
inline constexpr unsigned kAboutBox = 100;
inline constexpr unsigned kScoreForm = 101;

inline constexpr int kPlayStopButton = 1000;
inline constexpr int kScoreBox = 1001;
inline constexpr int kStatusBox = 1003;
inline constexpr int kReloadButton = 1005;
inline constexpr int kDeviceList = 1006;

// Commands of the Play menu.
inline constexpr unsigned kPlayFromCursor = 32771;
inline constexpr unsigned kTempoSlower = 32772;
inline constexpr unsigned kTempoFaster = 32773;
inline constexpr unsigned kTransposeDown = 32774;
inline constexpr unsigned kTransposeUp = 32775;
inline constexpr unsigned kPlainTempoAndKey = 32776;
inline constexpr unsigned kFollowFile = 32777;

// Commands of the File menu.
inline constexpr unsigned kSaveToScore = 32778;
inline constexpr unsigned kSaveAs = 32784;
inline constexpr unsigned kReopenInEncoding = 32790;
inline constexpr unsigned kImportMidi = 32791;

// The View menu's piano roll, and the Play menu's pause.
inline constexpr unsigned kPianoRoll = 32782;
inline constexpr unsigned kPause = 32783;

}  // namespace tez::ids
