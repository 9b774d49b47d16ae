// Reaching host components by their identifiers.
#pragma once

#include "ACFBase.h"

// Makes a host component through the component factory that `host` answers, and returns the
// requested interface with one reference the caller owns; null when the host has no factory or
// cannot make the component. An exception from the host's factory passes through, with the
// factory's reference released. Threading: any non-audio thread.
void* AAX_CreateHostComponent(IACFUnknown* host, const acfCLSID& classID, const acfIID& iid);
