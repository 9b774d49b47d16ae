// The effect's editor object. It builds no view yet: the host can create, initialise and release it,
// and it answers every editor call through its base.
#pragma once

#include "AAX_CEffectGUI.h"

class Tandrel_GUI : public AAX_CEffectGUI {
public:
    // The editor factory registered with the effect (procedure 1): a new editor object, no host
    // objects held yet. The host owns it through its reference count.
    static AAX_IEffectGUI* Create();

    Tandrel_GUI() = default;
    ~Tandrel_GUI() override = default;
};
