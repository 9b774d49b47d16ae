// The seam between the module (Marovex.so) and its editor library (MarovexEditor.so beside it).
//
// The module links no graphics library: its editor factory loads the editor library on the first
// editor creation and calls the library's one export, kTandrel_EditorEntryName, with this table.
// The editor library carries copies of the component base and the host-services route of its own;
// the table makes both use the module's process-wide state instead (one count of live component
// objects, which the module's ACFCanUnloadNow answers, and one route to the host's trace), and the
// entry answers with the library's editor factory.
//
// Both sides are built together and ship in one bundle; `size` still guards against a table laid
// out by another build.
#pragma once

#include <atomic>
#include <cstdint>

#include "AAX.h"

class AAX_IEffectGUI;

struct Tandrel_EditorLink {
    uint32_t size;                                           // sizeof(Tandrel_EditorLink)
    std::atomic<int32_t>* liveObjects;                       // the module's count of live component objects
    AAX_Result (*trace)(int32_t priority, const char* text);  // the module's route to the host's trace
};

using Tandrel_EditorFactory = AAX_IEffectGUI* (*)();

// The editor library's export: adopts the module's state (before it makes any object) and returns
// its editor factory; null when the table is not one it understands. Threading: called once, by the
// module, before any editor object of the library exists.
using Tandrel_EditorEntry = Tandrel_EditorFactory (*)(const Tandrel_EditorLink* link);
constexpr const char kTandrel_EditorEntryName[] = "MarovexEditorEntry";

// The editor library's file name, in the module's own folder.
constexpr const char kTandrel_EditorLibraryName[] = "MarovexEditor.so";
