// Writes a parameter's real value as text and reads it back.
#pragma once

#include <cstdint>

class AAX_CString;

class AAX_IDisplayDelegateBase {
public:
    virtual ~AAX_IDisplayDelegateBase() = default;
};

template <typename T>
class AAX_IDisplayDelegate : public AAX_IDisplayDelegateBase {
public:
    virtual AAX_IDisplayDelegate* Clone() const = 0;  // new copy; the caller owns it
    virtual bool ValueToString(T value, AAX_CString* out) const = 0;
    virtual bool ValueToString(T value, int32_t maxChars, AAX_CString* out) const = 0;
    virtual bool StringToValue(const AAX_CString& text, T* value) const = 0;
};
