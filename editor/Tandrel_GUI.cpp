// The effect's editor object.
#include "Tandrel_GUI.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "AAX_Guarded.h"
#include "AAX_IACFEffectParameters.h"
#include "Tandrel_AnimKnobVST.h"
#include "Tandrel_View.h"

AAX_IEffectGUI* Tandrel_GUI::Create() { return new Tandrel_GUI(); }

Tandrel_GUI::~Tandrel_GUI() = default;

std::string Tandrel_GUI::BundleResourcesPath() {
    // The module is <bundle>/Contents/<platform>/Marovex.so; its artwork is <bundle>/Contents/Resources.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&Tandrel_GUI::Create), &info) == 0 || info.dli_fname == nullptr) return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved) == nullptr) return {};
    std::string path(resolved);
    for (int i = 0; i < 2; ++i) {
        const size_t slash = path.find_last_of('/');
        if (slash == std::string::npos) return {};
        path.erase(slash);
    }
    return path + "/Resources";
}

void Tandrel_GUI::CreateViewContents() {
    VSTGUI::setResourceBasePath(BundleResourcesPath());
    Tandrel_View::LoadViewResources();
}

void Tandrel_GUI::CreateEffectView(void* parent) {
    DeleteViewContainer();
    mFrame = new Tandrel_View(parent, GetEffectParameters(), this, GetViewContainer());
}

AAX_Result Tandrel_GUI::TimerWakeup() {
    return AAX_Guarded([&]() -> AAX_Result {
        if (auto* view = dynamic_cast<Tandrel_View*>(mFrame)) view->TimerWakeup();
        return AAX_SUCCESS;
    });
}

AAX_Result Tandrel_GUI::ParameterUpdated(AAX_CParamID id) {
    return AAX_Guarded([&]() -> AAX_Result {
        auto* view = dynamic_cast<Tandrel_View*>(mFrame);
        if (view == nullptr || id == nullptr) return AAX_SUCCESS;
        for (int32_t tag = 0; tag < 8; ++tag) {
            if (std::strcmp(id, Tandrel_View::kKnobIDs[tag]) != 0) continue;
            Tandrel_AnimKnobVST* knob = view->Knob(tag);
            if (view->getParameters() != nullptr && knob != nullptr) {
                double value = 0.0;
                if (view->getParameters()->GetParameterNormalizedValue(id, &value) == AAX_SUCCESS) {
                    knob->setValue(static_cast<float>(value));
                    knob->invalid();
                }
            }
            break;
        }
        return AAX_SUCCESS;
    });
}

AAX_Result Tandrel_GUI::SetControlHighlightInfo(AAX_CParamID, AAX_CBoolean, int32_t) { return AAX_SUCCESS; }
