// Linear taper: the real range [minimum, maximum] maps straight onto the normalized range 0.0 to 1.0.
#pragma once

#include <cmath>
#include <cstdint>

#include "AAX_ITaperDelegate.h"

// RealPrecision 0 leaves real values as they are. A positive RealPrecision rounds every constrained
// real value to the nearest multiple of 1 / RealPrecision (100 keeps two decimals).
// The arithmetic runs in double; results are narrowed to T.
// Threading: a taper is an immutable value once built; any thread may use a const taper.
template <typename T, int32_t RealPrecision = 0>
class AAX_CLinearTaperDelegate : public AAX_ITaperDelegate<T> {
    static_assert(RealPrecision >= 0, "the precision of a linear taper cannot be negative");

public:
    AAX_CLinearTaperDelegate(T minValue = 0, T maxValue = 1) : mMinValue(minValue), mMaxValue(maxValue) {}

    AAX_CLinearTaperDelegate* Clone() const override { return new AAX_CLinearTaperDelegate(*this); }
    T GetMaximumValue() const override { return mMaxValue; }
    T GetMinimumValue() const override { return mMinValue; }

    // Values above the maximum become the maximum, values below the minimum the minimum.
    // A NaN fails both comparisons and is returned unchanged, so callers can still see it.
    T ConstrainRealValue(T value) const override {
        if (RealPrecision > 0) {
            value = static_cast<T>(std::round(static_cast<double>(value) * RealPrecision) / RealPrecision);
        }
        if (value > mMaxValue) return mMaxValue;
        if (mMinValue > value) return mMinValue;
        return value;
    }

    T NormalizedToReal(double normalizedValue) const override {
        const double minValue = static_cast<double>(mMinValue);
        const double maxValue = static_cast<double>(mMaxValue);
        const T real = static_cast<T>(minValue + (maxValue - minValue) * normalizedValue);
        return ConstrainRealValue(real);
    }

    double RealToNormalized(T realValue) const override {
        const T constrained = ConstrainRealValue(realValue);
        const double minValue = static_cast<double>(mMinValue);
        const double maxValue = static_cast<double>(mMaxValue);
        if (maxValue == minValue) {
            // A range of a single value sits at 0 instead of dividing 0 by 0 (NaN still passes).
            return static_cast<double>(constrained) - minValue;
        }
        return (static_cast<double>(constrained) - minValue) / (maxValue - minValue);
    }

private:
    T mMinValue;
    T mMaxValue;
};
