// Binary taper for on/off parameters: any positive normalized value is true.
#pragma once

#include "AAX_ITaperDelegate.h"

// Threading: stateless; any thread may use it.
template <typename T>
class AAX_CBinaryTaperDelegate : public AAX_ITaperDelegate<T> {
public:
    AAX_CBinaryTaperDelegate() = default;

    AAX_CBinaryTaperDelegate* Clone() const override { return new AAX_CBinaryTaperDelegate(); }
    T GetMaximumValue() const override { return T(true); }
    T GetMinimumValue() const override { return T(false); }
    T ConstrainRealValue(T value) const override { return value; }
    // 0.0, negative values and NaN are false.
    T NormalizedToReal(double normalizedValue) const override { return T(normalizedValue > 0.0); }
    double RealToNormalized(T realValue) const override { return realValue ? 1.0 : 0.0; }
};
