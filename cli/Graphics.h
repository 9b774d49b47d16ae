// The program's drawing, kept out of the program itself: the level and response pictures and the
// editor command with its sound (cairo, pango, X11 and the audio libraries underneath) live in
// libmarovex_graphics.so, which the program loads the first time it draws. A render without --plot,
// `info`, `state` and `validate` therefore never map a graphics library.
//
// The library is built from the same sources as the program; the program reaches those three
// functions only through this table, so its link leaves their code (and every graphics library)
// out. A CliError thrown inside the library reaches the program's handlers as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EditorCommand.h"
#include "PlotLevels.h"
#include "PlotResponse.h"

namespace marovex::cli {

struct GraphicsFunctions {
    uint32_t size;  // sizeof(GraphicsFunctions): a library of another build is refused
    std::vector<uint8_t> (*renderLevelPlot)(const LevelHistory& history, PlotSize size, const std::string& title);
    int (*runPlotResponse)(const PlotResponseOptions& options);
    int (*runEditor)(const EditorOptions& options);
};

// The library's one export: extern "C" const GraphicsFunctions* marovex_graphics_functions().
constexpr const char kGraphicsEntryName[] = "marovex_graphics_functions";
constexpr const char kGraphicsLibraryName[] = "libmarovex_graphics.so";

// The library's functions, loaded on the first call (once; it stays loaded). It is looked for in
// lib/marovex/ beside the program's bin/ (the build tree and an installed prefix alike). Throws a Failure that
// names the library and why it could not be loaded (for example a graphics library missing on this
// machine). Threading: any thread.
const GraphicsFunctions& Graphics();

}  // namespace marovex::cli
