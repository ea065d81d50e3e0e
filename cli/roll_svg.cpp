#include "roll_svg.h"

#include <cstdio>

#include "roll/roll_colours.h"

namespace tez::cli {
namespace {

using roll::Rect;

// One decimal is finer than any screen and keeps a large roll small.
std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string out = text;
    if (out.size() > 2 && out.compare(out.size() - 2, 2, ".0") == 0) {
        out.resize(out.size() - 2);
    }
    return out;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                // Control bytes are not allowed in XML; a marker's text may hold any byte.
                out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        }
    }
    return out;
}

std::string Box(const Rect& r) {
    return "x=\"" + Number(r.x) + "\" y=\"" + Number(r.y) + "\" width=\"" + Number(r.width) +
           "\" height=\"" + Number(r.height) + "\"";
}

void Text(std::string& out, const roll::Label& label, const char* cls) {
    out += "<text class=\"" + std::string(cls) + "\" x=\"" + Number(label.x) + "\" y=\"" +
           Number(label.y) + "\">" + Escaped(label.text) + "</text>\n";
}

void Background(std::string& out, const roll::RollFrame& frame) {
    out += "<rect " + Box({0, 0, frame.view.width, frame.view.height}) + " fill=\"#fff\"/>\n";
    for (const roll::KeyRow& row : frame.keys) {
        const Rect key{frame.keyboard.x, row.box.y, frame.keyboard.width, row.box.height};
        out += "<rect " + Box(key) +
               (row.black ? " fill=\"#333\"/>\n" : " fill=\"#fff\" stroke=\"#ccc\"/>\n");
        if (row.black) {
            out += "<rect " + Box(row.box) + " fill=\"#f0f0f0\"/>\n";
        }
    }
    for (const roll::Label& label : frame.keyLabels) {
        Text(out, label, "k");
    }
}

void Grid(std::string& out, const roll::RollFrame& frame) {
    for (const roll::GridLine& line : frame.grid) {
        const bool second = line.kind == roll::GridKind::kSecond;
        const double top = second ? frame.ruler.y + roll::kRulerRowHeight : frame.notesArea.y;
        const double bottom = second ? frame.ruler.Bottom() : frame.notesArea.Bottom();
        const char* cls = second ? "s" : line.kind == roll::GridKind::kBar ? "bar" : "beat";
        out += "<line class=\"" + std::string(cls) + "\" x1=\"" + Number(line.x) + "\" y1=\"" +
               Number(top) + "\" x2=\"" + Number(line.x) + "\" y2=\"" + Number(bottom) + "\"/>\n";
    }
    for (const roll::Label& label : frame.barLabels) {
        Text(out, label, "r");
    }
    for (const roll::Label& label : frame.secondLabels) {
        Text(out, label, "r");
    }
    for (const roll::MarkerFlag& marker : frame.markers) {
        const double y = frame.ruler.y + 2;
        out += "<path class=\"flag\" d=\"M" + Number(marker.x) + " " + Number(frame.notesArea.y) +
               "V" + Number(y) + "h6l-2 3l2 3h-6\"/>\n";
        Text(out, {marker.x + 8, y + 9, marker.text}, "mk");
    }
}

void Music(std::string& out, const roll::RollFrame& frame) {
    for (const roll::PedalBand& pedal : frame.pedals) {
        out += "<rect class=\"p\" " + Box(pedal.box) + " fill=\"" +
               roll::HexColour(roll::ChannelColour(pedal.channel)) + "\" data-channel=\"" +
               std::to_string(pedal.channel) + "\"/>\n";
    }
    for (const roll::NoteBox& note : frame.notes) {
        out += "<rect class=\"n\" " + Box(note.box) + " fill=\"" +
               roll::HexColour(roll::NoteColour(note.channel, note.velocity)) + "\"";
        if (note.line != roll::kNoLine) {
            out += " data-line=\"" + std::to_string(note.line) + "\"";
        }
        out += " data-channel=\"" + std::to_string(note.channel) + "\" data-key=\"" +
               std::to_string(note.key) + "\"/>\n";
    }
    for (const roll::ColumnMark& mark : frame.marks) {
        out += "<rect class=\"m\" " + Box(mark.box) + " fill=\"" +
               roll::HexColour(roll::NoteColour(mark.channel, mark.velocity)) + "\"/>\n";
    }
}

void Legend(std::string& out, const roll::RollFrame& frame) {
    for (const roll::LegendEntry& entry : frame.legendEntries) {
        out += "<rect class=\"lg\" " + Box(entry.box) + " fill=\"" +
               roll::HexColour(roll::ChannelColour(entry.channel)) + "\"" +
               (entry.used ? "" : " opacity=\"0.3\"") + "/>\n";
        Text(out, {entry.box.x + 3, entry.box.Bottom() - 4, std::to_string(entry.channel)},
             entry.used ? "lt" : "k");
    }
}

}  // namespace

std::string RollSvg(const roll::RollFrame& frame) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Number(frame.view.width) +
           "\" height=\"" + Number(frame.view.height) + "\" viewBox=\"0 0 " +
           Number(frame.view.width) + " " + Number(frame.view.height) + "\">\n";
    out +=
        "<style>text{font:10px sans-serif}.k{fill:#888}.lt{fill:#fff}.mk{fill:#a00}"
        ".bar{stroke:#999}.beat{stroke:#ddd}.s{stroke:#666}.flag{fill:#a00}"
        ".n{stroke:#0004;stroke-width:.5}.p{opacity:.6}</style>\n";
    Background(out, frame);
    Grid(out, frame);
    Music(out, frame);
    Legend(out, frame);
    out += "</svg>\n";
    return out;
}

}  // namespace tez::cli
