#include "roll_painter.h"

#include <QPainter>

#include "roll/roll_colours.h"

namespace tez {
namespace {

constexpr int kSilencedAlpha = 70;  // a muted channel's notes stay faintly visible

QColor ToColor(roll::Rgb rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}
QRectF ToRect(const roll::Rect& r) {
    return QRectF(r.x, r.y, r.width, r.height);
}

void PaintBackground(QPainter& painter, const roll::RollFrame& frame) {
    painter.fillRect(QRectF(0, 0, frame.view.width, frame.view.height), Qt::white);
    painter.fillRect(ToRect(frame.ruler), QColor(0xee, 0xee, 0xee));
    for (const roll::KeyRow& row : frame.keys) {
        const QRectF key(frame.keyboard.x, row.box.y, frame.keyboard.width, row.box.height);
        painter.fillRect(key, row.black ? QColor(0x33, 0x33, 0x33) : Qt::white);
        if (row.black) {
            painter.fillRect(ToRect(row.box), QColor(0xf0, 0xf0, 0xf0));
        }
        if (row.key % 12 == 0) {
            painter.setPen(QColor(0xcc, 0xcc, 0xcc));
            painter.drawLine(QPointF(0, row.box.Bottom()),
                             QPointF(row.box.Right(), row.box.Bottom()));
        }
    }
    painter.setPen(QColor(0x88, 0x88, 0x88));
    for (const roll::Label& label : frame.keyLabels) {
        painter.drawText(QPointF(label.x, label.y), QString::fromStdString(label.text));
    }
}

void PaintGrid(QPainter& painter, const roll::RollFrame& frame) {
    if (frame.loopBand) {
        painter.fillRect(ToRect(*frame.loopBand), QColor(0xff, 0xd0, 0x60));
    }
    for (const roll::GridLine& line : frame.grid) {
        const bool second = line.kind == roll::GridKind::kSecond;
        painter.setPen(second                              ? QColor(0x66, 0x66, 0x66)
                       : line.kind == roll::GridKind::kBar ? QColor(0x99, 0x99, 0x99)
                                                           : QColor(0xdd, 0xdd, 0xdd));
        const double top = second ? frame.ruler.y + roll::kRulerRowHeight : frame.notesArea.y;
        const double bottom = second ? frame.ruler.Bottom() : frame.notesArea.Bottom();
        painter.drawLine(QPointF(line.x, top), QPointF(line.x, bottom));
    }
    painter.setPen(Qt::black);
    for (const auto* labels : {&frame.barLabels, &frame.secondLabels}) {
        for (const roll::Label& label : *labels) {
            painter.drawText(QPointF(label.x, label.y), QString::fromStdString(label.text));
        }
    }
    for (const roll::MarkerFlag& marker : frame.markers) {
        painter.setPen(QColor(0xaa, 0, 0));
        painter.drawLine(QPointF(marker.x, frame.ruler.y + 2),
                         QPointF(marker.x, frame.notesArea.y));
        painter.fillRect(QRectF(marker.x, frame.ruler.y + 2, 6, 6), QColor(0xaa, 0, 0));
        painter.drawText(QPointF(marker.x + 8, frame.ruler.y + 11),
                         QString::fromStdString(marker.text));
    }
}

QColor FillOf(int channel, int velocity, std::uint8_t flags, std::uint16_t silenced) {
    QColor fill = ToColor(roll::NoteColour(channel, velocity));
    if ((flags & roll::kSounding) != 0) {
        fill = fill.lighter(135);
    }
    if ((silenced >> channel & 1) != 0) {
        fill.setAlpha(kSilencedAlpha);
    }
    return fill;
}

void PaintNotes(QPainter& painter, const roll::RollFrame& frame, std::uint16_t silenced) {
    for (const roll::PedalBand& pedal : frame.pedals) {
        painter.fillRect(ToRect(pedal.box), ToColor(roll::ChannelColour(pedal.channel)));
    }
    const QPen selected(QColor(0xff, 0x8c, 0), 2);
    const QPen outlined(Qt::black, 2);
    const QPen sounding(QColor(0xff, 0xee, 0x00), 2);
    for (const roll::NoteBox& note : frame.notes) {
        const QRectF box = ToRect(note.box);
        painter.fillRect(box, FillOf(note.channel, note.velocity, note.flags, silenced));
        const std::uint8_t flags = note.flags;
        if (flags == 0) {
            continue;
        }
        painter.setPen((flags & roll::kOutlined) != 0   ? outlined
                       : (flags & roll::kSelected) != 0 ? selected
                                                        : sounding);
        painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    for (const roll::ColumnMark& mark : frame.marks) {
        QColor fill = FillOf(mark.channel, mark.velocity, mark.flags, silenced);
        if ((mark.flags & (roll::kSelected | roll::kOutlined)) != 0) {
            fill = QColor(0xff, 0x8c, 0);
        }
        painter.fillRect(ToRect(mark.box), fill);
    }
}

void PaintLegend(QPainter& painter, const roll::RollFrame& frame) {
    painter.fillRect(ToRect(frame.legend), QColor(0xee, 0xee, 0xee));
    for (const roll::LegendEntry& entry : frame.legendEntries) {
        QColor fill = ToColor(roll::ChannelColour(entry.channel));
        if (!entry.used || entry.silenced) {
            fill.setAlpha(kSilencedAlpha);
        }
        painter.fillRect(ToRect(entry.box), fill);
        painter.setPen(entry.silenced ? Qt::black : Qt::white);
        painter.drawText(ToRect(entry.box), Qt::AlignCenter,
                         entry.silenced ? QStringLiteral("×%1").arg(entry.channel)
                                        : QString::number(entry.channel));
    }
}

}  // namespace

void PaintRoll(QPainter& painter, const roll::RollFrame& frame) {
    std::uint16_t silenced = 0;
    for (const roll::LegendEntry& entry : frame.legendEntries) {
        silenced |= static_cast<std::uint16_t>(entry.silenced ? 1u << entry.channel : 0u);
    }
    PaintBackground(painter, frame);
    PaintGrid(painter, frame);
    PaintNotes(painter, frame, silenced);
    PaintLegend(painter, frame);
    if (frame.playhead) {
        painter.setPen(QPen(QColor(0xd0, 0, 0), 1.5));
        painter.drawLine(QPointF(*frame.playhead, frame.ruler.y),
                         QPointF(*frame.playhead, frame.notesArea.Bottom()));
    }
}

}  // namespace tez
