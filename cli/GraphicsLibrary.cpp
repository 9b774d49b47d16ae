// libmarovex_graphics.so: the program's drawing (Graphics.h), handed to the program through one export.
#include "Graphics.h"

extern "C" __attribute__((visibility("default"))) const marovex::cli::GraphicsFunctions* marovex_graphics_functions() {
    using namespace marovex::cli;
    static const GraphicsFunctions functions = {sizeof(GraphicsFunctions), &RenderLevelPlot, &RunPlotResponse,
                                                &RunEditor};
    return &functions;
}
