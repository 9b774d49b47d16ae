// Shows a numeric value with a fixed number of decimals and reads a leading number back.
#pragma once

#include <cstdint>

#include "AAX_CString.h"
#include "AAX_IDisplayDelegate.h"

// Precision: digits after the decimal point. SpaceAfter: spaces written after the number (none in
// this effect). Formatting and parsing always use the classic notation (a point as decimal separator).
// Threading: stateless; any thread may use it.
template <typename T, uint32_t Precision = 2, uint32_t SpaceAfter = 0>
class AAX_CNumberDisplayDelegate : public AAX_IDisplayDelegate<T> {
public:
    AAX_CNumberDisplayDelegate() = default;

    AAX_CNumberDisplayDelegate* Clone() const override { return new AAX_CNumberDisplayDelegate(); }

    bool ValueToString(T value, AAX_CString* out) const override {
        if (out == nullptr) return false;
        out->Clear();
        out->AppendNumber(static_cast<double>(value), static_cast<int32_t>(Precision));
        for (uint32_t i = 0; i < SpaceAfter; ++i) out->Append(" ");
        return true;
    }

    // As above, then cut to maxChars characters (a negative limit counts as 0). A text cut so that
    // it ends in the decimal point loses the point as well: 0.50 with limit 2 shows "0".
    bool ValueToString(T value, int32_t maxChars, AAX_CString* out) const override {
        if (!ValueToString(value, out)) return false;
        const uint32_t limit = maxChars < 0 ? 0u : static_cast<uint32_t>(maxChars);
        if (out->Length() > limit) out->Erase(limit, out->Length() - limit);
        if (limit != 0 && out->Length() == limit && (*out)[limit - 1] == '.') out->Erase(limit - 1, 1);
        return true;
    }

    // Reads the leading number of the text; trailing characters are ignored. On failure writes 0.
    bool StringToValue(const AAX_CString& text, T* value) const override {
        if (value == nullptr) return false;
        double parsed = 0.0;
        const bool ok = text.ToDouble(&parsed);
        *value = ok ? static_cast<T>(parsed) : T(0);
        return ok;
    }
};
