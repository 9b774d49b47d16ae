// The byte-string type used by every parameter and data-model interface that passes text.
// Numbers are always formatted and parsed in the classic locale, whatever the process locale is.
#pragma once

#include <cstdint>
#include <string>

#include "AAX_IString.h"

class AAX_CString : public AAX_IString {
public:
    AAX_CString();
    AAX_CString(const char* text);  // null gives the empty text
    AAX_CString(const std::string& text);
    AAX_CString(const AAX_CString& other);
    AAX_CString(const AAX_IString& other);
    ~AAX_CString() override;

    // AAX_IString
    uint32_t Length() const override;
    uint32_t MaxLength() const override;  // always 0xFFFFFFFE
    const char* Get() const override;
    void Set(const char* text) override;  // text must not be null
    AAX_IString& operator=(const AAX_IString& other) override;
    AAX_IString& operator=(const char* text) override;

    AAX_CString& operator=(const AAX_CString& other);

    const char* CString() const;
    const std::string& StdString() const { return mString; }
    void Clear();
    void Erase(uint32_t pos, uint32_t n);
    void Append(const char* text);
    // Fixed-point notation with exactly `precision` digits after the point (classic locale).
    void AppendNumber(double value, int32_t precision);
    // Reads a leading number as a stream does; on failure stores 0.0 and returns false.
    bool ToDouble(double* out) const;
    void SubString(uint32_t pos, uint32_t n, AAX_IString* out) const;

    bool operator==(const AAX_CString& other) const;
    bool operator!=(const AAX_CString& other) const;
    char& operator[](uint32_t i);
    const char& operator[](uint32_t i) const;

private:
    std::string mString;
};
