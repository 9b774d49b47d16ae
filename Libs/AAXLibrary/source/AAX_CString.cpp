#include "AAX_CString.h"

#include <cstring>
#include <ios>
#include <locale>
#include <sstream>

AAX_CString::AAX_CString() = default;

AAX_CString::AAX_CString(const char* text) : mString(text != nullptr ? text : "") {}

AAX_CString::AAX_CString(const std::string& text) : mString(text) {}

AAX_CString::AAX_CString(const AAX_CString& other) : AAX_IString(), mString(other.mString) {}

AAX_CString::AAX_CString(const AAX_IString& other) : mString(other.Get() != nullptr ? other.Get() : "") {}

AAX_CString::~AAX_CString() = default;

uint32_t AAX_CString::Length() const { return static_cast<uint32_t>(mString.length()); }

uint32_t AAX_CString::MaxLength() const { return 0xFFFFFFFEu; }

const char* AAX_CString::Get() const { return mString.c_str(); }

void AAX_CString::Set(const char* text) {
    // Callers must pass text; a null pointer is taken as the empty text rather than crashing.
    mString.assign(text != nullptr ? text : "");
}

AAX_IString& AAX_CString::operator=(const AAX_IString& other) {
    if (&other != this) Set(other.Get());
    return *this;
}

AAX_IString& AAX_CString::operator=(const char* text) {
    Set(text);
    return *this;
}

AAX_CString& AAX_CString::operator=(const AAX_CString& other) {
    if (&other != this) mString = other.mString;
    return *this;
}

const char* AAX_CString::CString() const { return mString.c_str(); }

void AAX_CString::Clear() { mString.clear(); }

void AAX_CString::Erase(uint32_t pos, uint32_t n) {
    if (pos >= mString.length()) return;
    mString.erase(pos, n);
}

void AAX_CString::Append(const char* text) {
    if (text != nullptr) mString.append(text);
}

void AAX_CString::AppendNumber(double value, int32_t precision) {
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream.setf(std::ios::fixed, std::ios::floatfield);
    stream.precision(precision);
    stream << value;
    mString.append(stream.str());
}

bool AAX_CString::ToDouble(double* out) const {
    std::istringstream stream(mString);
    stream.imbue(std::locale::classic());
    double value = 0.0;
    stream >> value;
    const bool ok = !stream.fail();
    if (out != nullptr) *out = ok ? value : 0.0;
    return ok;
}

void AAX_CString::SubString(uint32_t pos, uint32_t n, AAX_IString* out) const {
    if (out == nullptr) return;
    if (pos > mString.length()) pos = static_cast<uint32_t>(mString.length());
    out->Set(mString.substr(pos, n).c_str());
}

bool AAX_CString::operator==(const AAX_CString& other) const {
    // Byte-wise comparison of the two NUL-terminated texts.
    return std::strcmp(Get(), other.Get()) == 0;
}

bool AAX_CString::operator!=(const AAX_CString& other) const { return !(*this == other); }

char& AAX_CString::operator[](uint32_t i) { return mString[i]; }

const char& AAX_CString::operator[](uint32_t i) const { return mString[i]; }
