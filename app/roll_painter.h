// Paints a laid-out piano roll: the same layout `tez roll` writes as SVG.
#pragma once

#include "roll/roll_layout.h"

class QPainter;

namespace tez {

void PaintRoll(QPainter& painter, const roll::RollFrame& frame);

}  // namespace tez
