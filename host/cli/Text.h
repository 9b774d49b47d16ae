// Text helpers for the marovex program's messages: untrusted text made safe for a terminal, and the
// "did you mean" suggestion for a mistyped name.
#pragma once

#include <string>
#include <vector>

namespace marovex::cli {

// `text` with everything a terminal could act on made visible: control characters as \n, \t, \r or
// \xNN, backslashes doubled, bytes that are not valid UTF-8 as \xNN, and the C1 control characters
// (U+0080 to U+009F) and line or paragraph separators as \u{NNNN}. Printable UTF-8 stays as it is.
std::string EscapeText(const std::string& text);

// The candidate closest to `word` (edit distance, case-insensitive) when it is close enough to be a
// likely typing error, else an empty text.
std::string ClosestMatch(const std::string& word, const std::vector<std::string>& candidates);

}  // namespace marovex::cli
