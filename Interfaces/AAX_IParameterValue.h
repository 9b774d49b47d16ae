// A detached copy of a parameter's identifier and current value.
#pragma once

#include <cstdint>

class AAX_CString;

class AAX_IParameterValue {
public:
    virtual ~AAX_IParameterValue() = default;
    virtual AAX_IParameterValue* Clone() const = 0;  // the caller owns the copy
    virtual const char* Identifier() const = 0;
    // Only the getter of the holder's own type writes its output and returns true.
    virtual bool GetValueAsBool(bool* value) const = 0;
    virtual bool GetValueAsInt32(int32_t* value) const = 0;
    virtual bool GetValueAsFloat(float* value) const = 0;
    virtual bool GetValueAsDouble(double* value) const = 0;
    virtual bool GetValueAsString(AAX_CString* value) const = 0;
};
