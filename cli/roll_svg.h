// A laid-out piano roll as an SVG document.
#pragma once

#include <string>

#include "roll/roll_layout.h"

namespace tez::cli {

// Each note is a <rect class="n"> with data-line (its score line, when it has one),
// data-channel and data-key; zoomed out, each column mark a <rect class="m">.
std::string RollSvg(const roll::RollFrame& frame);

}  // namespace tez::cli
