// Shows an on/off value as one of two texts and reads exactly those texts back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "AAX_CString.h"
#include "AAX_IDisplayDelegate.h"

// Threading: a display is an immutable value once built; any thread may use a const one.
template <typename T>
class AAX_CBinaryDisplayDelegate : public AAX_IDisplayDelegate<T> {
public:
    AAX_CBinaryDisplayDelegate(const char* falseString, const char* trueString)
        : mFalseString(falseString), mTrueString(trueString),
          mMaxStrLength(std::max(mFalseString.Length(), mTrueString.Length())) {}
    AAX_CBinaryDisplayDelegate(const AAX_CBinaryDisplayDelegate&) = default;

    AAX_CBinaryDisplayDelegate* Clone() const override { return new AAX_CBinaryDisplayDelegate(*this); }

    // Adds a pair of shorter texts used when a caller allows at most maxChars characters.
    void AddShortenedStrings(int32_t maxChars, const char* falseString, const char* trueString) {
        mShortenedStrings.push_back(Shortened{maxChars, AAX_CString(falseString), AAX_CString(trueString)});
    }

    bool ValueToString(T value, AAX_CString* out) const override {
        if (out == nullptr) return false;
        *out = value ? mTrueString : mFalseString;
        return true;
    }

    // Without shortened texts, or when the full texts fit, as above. Otherwise the last added pair
    // whose limit is at most maxChars; when none fits, the first pair added.
    bool ValueToString(T value, int32_t maxChars, AAX_CString* out) const override {
        if (out == nullptr) return false;
        if (mShortenedStrings.empty() || static_cast<uint32_t>(std::max(maxChars, int32_t(0))) >= mMaxStrLength) {
            return ValueToString(value, out);
        }
        const Shortened* chosen = &mShortenedStrings.front();
        for (auto it = mShortenedStrings.rbegin(); it != mShortenedStrings.rend(); ++it) {
            if (it->maxChars <= maxChars) {
                chosen = &*it;
                break;
            }
        }
        *out = value ? chosen->trueString : chosen->falseString;
        return true;
    }

    // Exact, case-sensitive match with one of the two full texts; anything else fails and writes false.
    bool StringToValue(const AAX_CString& text, T* value) const override {
        if (value == nullptr) return false;
        const bool isTrue = text == mTrueString;
        *value = T(isTrue);
        return isTrue || text == mFalseString;
    }

private:
    struct Shortened {
        int32_t maxChars;
        AAX_CString falseString;
        AAX_CString trueString;
    };

    AAX_CString mFalseString;
    AAX_CString mTrueString;
    uint32_t mMaxStrLength;
    std::vector<Shortened> mShortenedStrings;
};
