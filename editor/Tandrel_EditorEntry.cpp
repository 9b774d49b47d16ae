// The editor library's one export (MarovexEditor.so): the module hands it its process-wide state and
// gets the editor factory back.
#include <type_traits>

#include "AAX_CHostServices.h"
#include "CACFUnknown.h"
#include "Tandrel_EditorLink.h"
#include "Tandrel_GUI.h"

extern "C" __attribute__((visibility("default"))) Tandrel_EditorFactory MarovexEditorEntry(const Tandrel_EditorLink* link) {
    if (link == nullptr || link->size != sizeof(Tandrel_EditorLink) || link->liveObjects == nullptr ||
        link->trace == nullptr) {
        return nullptr;
    }
    CACFUnknown::CountObjectsIn(link->liveObjects);
    AAX_CHostServices::RouteTracesTo(link->trace);
    return &Tandrel_GUI::Create;
}

// The entry's type is the one the module calls through.
static_assert(std::is_same_v<decltype(&MarovexEditorEntry), Tandrel_EditorEntry>);
