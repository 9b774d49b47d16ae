// The one guard of every operation called across the host boundary, on either side: the body runs
// inside it, and an exception (in practice an allocation failure) becomes the component
// framework's "unexpected" result, 0x8000FFFF, instead of crossing the boundary. Failures cross it
// only as result codes.
#pragma once

#include "AAX.h"

template <class F>
AAX_Result AAX_Guarded(F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return ACF_E_UNEXPECTED;
    }
}
