// The character encoding of a score file: how its bytes become the box's text and back.
// Scores come as UTF-8 or, from Japanese systems, as Shift_JIS in its Windows form (CP932).
// Only ASCII letters and digits carry music, and every encoding here keeps ASCII as it is,
// so the music never depends on the encoding.
#pragma once

#include <QString>
#include <span>
#include <string>
#include <string_view>

namespace tez {

enum class TextEncoding { kUtf8, kShiftJis, kEucJp };

// The encodings the window offers, in the order it offers them.
inline constexpr TextEncoding kTextEncodings[] = {TextEncoding::kUtf8, TextEncoding::kShiftJis,
                                                  TextEncoding::kEucJp};

// The name shown to the user ("Shift_JIS").
QString EncodingName(TextEncoding encoding);

// UTF-8 when the bytes are valid UTF-8 (plain ASCII is), otherwise Shift_JIS.
TextEncoding DetectEncoding(std::string_view bytes);

// The bytes as text. Nothing is lost: a byte that is no character of the encoding becomes a
// private-use character of its own, which EncodeText turns back into that byte.
QString DecodeText(std::string_view bytes, TextEncoding encoding);

// The text as bytes. A character the encoding cannot hold becomes '?', and the answer is
// false; true when every character was kept.
bool EncodeText(const QString& text, TextEncoding encoding, std::string& bytes);

// The box's text as the file's bytes, given the file's bytes before the edit: every line
// that reads as before keeps its own bytes and line end, so what was not edited comes back
// byte for byte (also sequences the encoding has two ways to write). New lines end as the
// file's lines do. False as for EncodeText.
bool EncodeKeepingLines(const QString& boxText, std::string_view original, TextEncoding encoding,
                        std::string& bytes);

}  // namespace tez
