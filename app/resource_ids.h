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

}  // namespace tez::ids
