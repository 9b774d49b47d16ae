// The effect's editor object.
#include "Tandrel_GUI.h"

AAX_IEffectGUI* Tandrel_GUI::Create() { return new Tandrel_GUI(); }
