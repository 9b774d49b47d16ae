// Text helpers for the marovex program's messages: untrusted text made safe for a terminal, the one
// way the program's own messages reach standard error, and the "did you mean" suggestion for a
// mistyped name.
#pragma once

#include <string>
#include <vector>

namespace marovex::cli {

// `text` with everything a terminal could act on made visible: control characters as \n, \t, \r or
// \xNN, backslashes doubled, bytes that are not valid UTF-8 as \xNN, and the C1 control characters
// (U+0080 to U+009F) and line or paragraph separators as \u{NNNN}. Printable UTF-8 stays as it is.
std::string EscapeText(const std::string& text);

// `text` escaped as above, in single quotes: how a name or value from the user or a file appears in a
// message ("'in.wav'").
std::string Quote(const std::string& text);

// The program's own voice: every error and warning it prints goes through here, as "error: <message>"
// or "warning: <message>" on standard error, the whole message made safe for a terminal (what Quote
// made visible stays as it is). `hint` is a line of the program's own after it. Misbehaviour of the
// plug-in, the host or the window system goes through the host's reporter (MarovexReport.h) instead.
// Never throws: a closed or full standard error loses the message, never the run.
enum class Voice { Error, Warning };
void Say(Voice voice, const std::string& message, const std::string& hint = {}) noexcept;

// The candidate closest to `word` (edit distance, case-insensitive) when it is close enough to be a
// likely typing error, else an empty text.
std::string ClosestMatch(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace marovex::cli
