// The validator's byte string, handed to the data model wherever an interface asks for an AAX_IString.
#pragma once

#include <string>

#include "AAX_IString.h"

namespace marovex::validate {

class ValidateString final : public AAX_IString {
public:
    ValidateString() = default;
    explicit ValidateString(std::string text) : mText(std::move(text)) {}
    uint32_t Length() const override { return static_cast<uint32_t>(mText.size()); }
    uint32_t MaxLength() const override { return 0xFFFFFFFEu; }
    const char* Get() const override { return mText.c_str(); }
    void Set(const char* text) override { mText = text ? text : ""; }
    AAX_IString& operator=(const AAX_IString& other) override {
        Set(other.Get());
        return *this;
    }
    AAX_IString& operator=(const char* text) override {
        Set(text);
        return *this;
    }

private:
    std::string mText;
};

}  // namespace marovex::validate
