// The effect's editor object: builds the Tandrel_View in the host's native view, forwards the host's
// parameter updates and timer calls to it, and finds the artwork in the resources of the bundle that
// holds this module.
// Threading: the host's user-interface thread.
#pragma once

#include "AAX_CEffectGUI_VST.h"

class Tandrel_GUI : public AAX_CEffectGUI_VST {
public:
    // The editor factory registered with the effect: a new editor object, no host objects held yet.
    // The host owns it through its reference count.
    static AAX_IEffectGUI* Create();

    Tandrel_GUI() = default;
    ~Tandrel_GUI() override;

    AAX_Result TimerWakeup() override;
    // Moves the matching knob to the data model's value (no edit is sent back); other identifiers
    // change nothing. Returns 0.
    AAX_Result ParameterUpdated(AAX_CParamID id) override;
    AAX_Result SetControlHighlightInfo(AAX_CParamID id, AAX_CBoolean isHighlighted, int32_t color) override;

    // The Contents/Resources folder of the bundle that holds the code of this editor (empty when the
    // module's location cannot be found).
    static std::string BundleResourcesPath();

protected:
    void CreateViewContents() override;
    void CreateEffectView(void* parent) override;
};
