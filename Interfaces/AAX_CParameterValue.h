// The value holder of a parameter: its identifier and its current real value.
#pragma once

#include <cstdint>

#include "AAX_IParameterValue.h"

// Identifiers keep at most this many significant characters; longer ones are cut.
constexpr uint32_t kAAX_ParameterIdentifierMaxSize = 32;  // including the terminating NUL

// Only the getter of the holder's own type works; there is no conversion between types.
// Threading: no lock; a holder handed out by CloneValue belongs to its caller alone.
template <typename T>
class AAX_CParameterValue : public AAX_IParameterValue {
public:
    // A null identifier gives the empty identifier; a longer one keeps its first 31 characters.
    AAX_CParameterValue(const char* identifier, T value);
    AAX_CParameterValue(const AAX_CParameterValue& other);
    AAX_CParameterValue& operator=(const AAX_CParameterValue& other);
    ~AAX_CParameterValue() override;

    AAX_CParameterValue* Clone() const override;
    const char* Identifier() const override;
    bool GetValueAsBool(bool* value) const override;
    bool GetValueAsInt32(int32_t* value) const override;
    bool GetValueAsFloat(float* value) const override;
    bool GetValueAsDouble(double* value) const override;
    bool GetValueAsString(AAX_CString* value) const override;

    const T& Get() const { return mValue; }
    void Set(const T& value) { mValue = value; }

private:
    // Writes the value when U is the holder's own type; every other type fails.
    template <typename U>
    bool GetIfOwnType(U* value) const;

    char mIdentifier[kAAX_ParameterIdentifierMaxSize];
    T mValue;
};

extern template class AAX_CParameterValue<float>;
extern template class AAX_CParameterValue<bool>;
