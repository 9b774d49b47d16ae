// One voice for misbehaviour: what a plug-in or module did wrong, or what the host, the program or a
// plug-in adapter met that it must step around. Every report says what happened, where, and what is
// done about it. The host library reports through it, and so do its front ends (the marovex program,
// the LV2 adapter) for trouble that is not the user's own mistake.
//
// Policy: by default a report is one line on standard error,
//     marovex: <where>: <what>; <action>
// (without "; <action>" when there is none), with every control character and every byte that is not
// valid UTF-8 made visible, so that text from a plug-in, a file or a window system cannot act on the
// terminal. A front end may send reports elsewhere instead (MarovexSetReportSink), to collect or
// prefix them.
//
// Threading: any thread but an audio thread (a report formats text and writes). The sink is called on
// the reporting thread, one report at a time.
#pragma once

#include <functional>
#include <string>

// Where a report comes from, its first part. The host library uses these; front ends may pass their own.
namespace marovex_where {
inline constexpr const char kModule[] = "module";                        // loading, entry points, unloading
inline constexpr const char kDescription[] = "description";              // what the module describes
inline constexpr const char kDataModel[] = "data model";                 // the plug-in's parameters and state
inline constexpr const char kProcess[] = "process procedure";            // the plug-in's audio code
inline constexpr const char kEditor[] = "editor";                        // the plug-in's editor object
inline constexpr const char kPluginTrace[] = "plug-in trace";            // text the plug-in asked the host to log
inline constexpr const char kWindowSystem[] = "window system";           // the X server
inline constexpr const char kLv2Adapter[] = "LV2 adapter";               // the adapter and its host
}  // namespace marovex_where

struct MarovexReport {
    std::string where;   // one of marovex_where, or a front end's own place
    std::string what;    // what happened, in words
    std::string action;  // what is done about it ("ignored", "clamped to 0 to 1"); may be empty
};

// Reports through the sink, or on standard error when none is set.
void MarovexReportProblem(const std::string& where, const std::string& what, const std::string& action = {});

// The line standard error gets for a report, without the newline: "marovex: where: what; action",
// made safe for a terminal.
std::string MarovexReportLine(const MarovexReport& report);

// Sends every later report to `sink` (an empty function: back to standard error). Returns the sink
// it replaces.
std::function<void(const MarovexReport&)> MarovexSetReportSink(std::function<void(const MarovexReport&)> sink);

// `text` with everything a terminal could act on made visible: control characters as \n, \t, \r or
// \xNN, bytes that are not valid UTF-8 as \xNN, the C1 control characters (U+0080 to U+009F) and line
// or paragraph separators as \u{NNNN}; printable UTF-8 stays as it is. With `doubleBackslashes` a
// backslash becomes \\, so that the result reads back unambiguously (for quoting a name); without, a
// text already made visible passes unchanged (for a whole message that may hold such quotes).
std::string MarovexVisibleText(const std::string& text, bool doubleBackslashes = true);
