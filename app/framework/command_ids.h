// The framework's standard command, string and window ids.
#pragma once

namespace tez::ids {

inline constexpr unsigned kFileNew = 57600;
inline constexpr unsigned kFileOpen = 57601;
inline constexpr unsigned kFileClose = 57602;
inline constexpr unsigned kFileSave = 57603;
inline constexpr unsigned kFileSaveAs = 57604;
inline constexpr unsigned kFilePrint = 57607;
inline constexpr unsigned kFileMruFile1 = 57616;
inline constexpr unsigned kFileMruLast = 57631;  // the sixteenth entry
inline constexpr unsigned kEditCopy = 57634;
inline constexpr unsigned kEditCut = 57635;
inline constexpr unsigned kEditPaste = 57637;
inline constexpr unsigned kEditUndo = 57643;
inline constexpr unsigned kAppAbout = 57664;
inline constexpr unsigned kAppExit = 57665;
inline constexpr unsigned kNextPane = 57680;
inline constexpr unsigned kPrevPane = 57681;

inline constexpr unsigned kAppTitleString = 57344;
inline constexpr unsigned kIdleMessageString = 57345;

inline constexpr unsigned kIndicatorExt = 59136;
inline constexpr unsigned kIndicatorCaps = 59137;
inline constexpr unsigned kIndicatorNum = 59138;
inline constexpr unsigned kIndicatorScrl = 59139;
inline constexpr unsigned kIndicatorKana = 59142;

inline constexpr unsigned kToolBarWindow = 59392;
inline constexpr unsigned kStatusBarWindow = 59393;

inline constexpr unsigned kIdOk = 1;

}  // namespace tez::ids
