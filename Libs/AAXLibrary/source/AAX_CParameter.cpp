#include "AAX_CParameter.h"

#include <cmath>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace {

// NaN is the one value no taper clamps; it is refused wherever a value enters a parameter.
template <typename V>
bool IsNaN(V value) {
    if constexpr (std::is_floating_point_v<V>) {
        return std::isnan(value);
    } else {
        (void)value;
        return false;
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// AAX_CParameterValue<T>

template <typename T>
AAX_CParameterValue<T>::AAX_CParameterValue(const char* identifier, T value) : mIdentifier{}, mValue(value) {
    if (identifier != nullptr) {
        std::strncpy(mIdentifier, identifier, kAAX_ParameterIdentifierMaxSize - 1);
    }
    mIdentifier[kAAX_ParameterIdentifierMaxSize - 1] = '\0';
}

template <typename T>
AAX_CParameterValue<T>::AAX_CParameterValue(const AAX_CParameterValue& other)
    : AAX_IParameterValue(), mIdentifier{}, mValue(other.mValue) {
    std::memcpy(mIdentifier, other.mIdentifier, sizeof mIdentifier);
}

template <typename T>
AAX_CParameterValue<T>& AAX_CParameterValue<T>::operator=(const AAX_CParameterValue& other) {
    std::memcpy(mIdentifier, other.mIdentifier, sizeof mIdentifier);
    mValue = other.mValue;
    return *this;
}

template <typename T>
AAX_CParameterValue<T>::~AAX_CParameterValue() = default;

template <typename T>
AAX_CParameterValue<T>* AAX_CParameterValue<T>::Clone() const {
    return new AAX_CParameterValue(*this);
}

template <typename T>
const char* AAX_CParameterValue<T>::Identifier() const {
    return mIdentifier;
}

template <typename T>
template <typename U>
bool AAX_CParameterValue<T>::GetIfOwnType(U* value) const {
    if constexpr (std::is_same_v<T, U>) {
        if (value == nullptr) return false;
        *value = mValue;
        return true;
    } else {
        (void)value;
        return false;
    }
}

template <typename T>
bool AAX_CParameterValue<T>::GetValueAsBool(bool* value) const {
    return GetIfOwnType(value);
}

template <typename T>
bool AAX_CParameterValue<T>::GetValueAsInt32(int32_t* value) const {
    return GetIfOwnType(value);
}

template <typename T>
bool AAX_CParameterValue<T>::GetValueAsFloat(float* value) const {
    return GetIfOwnType(value);
}

template <typename T>
bool AAX_CParameterValue<T>::GetValueAsDouble(double* value) const {
    return GetIfOwnType(value);
}

template <typename T>
bool AAX_CParameterValue<T>::GetValueAsString(AAX_CString* /*value*/) const {
    return false;
}

// ---------------------------------------------------------------------------------------------
// AAX_CParameter<T>

template <typename T>
AAX_CParameter<T>::AAX_CParameter(AAX_CParamID identifier, const AAX_IString& name, T defaultValue,
                                  const AAX_ITaperDelegate<T>& taper, const AAX_IDisplayDelegate<T>& display,
                                  bool automatable)
    : mName(name),
      mShortenedNames(),
      mAutomatable(automatable),
      mNumSteps(0),
      mType(AAX_eParameterType_Continuous),
      mOrientation(0),
      mTaperDelegate(nullptr),
      mDisplayDelegate(nullptr),
      mAutomationDelegate(nullptr),
      mNeedNotify(true),
      mValue(identifier, T()),
      mDefaultValue(defaultValue) {
    mTaperDelegate = taper.Clone();
    try {
        mDisplayDelegate = display.Clone();
    } catch (...) {
        delete mTaperDelegate;
        throw;
    }
    if (mNumSteps == 0) {
        SetNumberOfSteps(mType == AAX_eParameterType_Discrete ? 2u : 128u);
    }
    SetToDefaultValue();
}

template <typename T>
AAX_CParameter<T>::~AAX_CParameter() {
    if (mAutomationDelegate != nullptr) {
        mAutomationDelegate->UnregisterParameter(Identifier());
    }
    delete mTaperDelegate;
    delete mDisplayDelegate;
}

template <typename T>
AAX_IParameterValue* AAX_CParameter<T>::CloneValue() const {
    return new AAX_CParameterValue<T>(mValue);
}

template <typename T>
AAX_CParamID AAX_CParameter<T>::Identifier() const {
    return mValue.Identifier();
}

template <typename T>
void AAX_CParameter<T>::SetName(const AAX_CString& name) {
    mName = name;
}

template <typename T>
const AAX_CString& AAX_CParameter<T>::Name() const {
    return mName;
}

template <typename T>
void AAX_CParameter<T>::AddShortenedName(const AAX_CString& name) {
    mShortenedNames[name.Length()] = name;
}

template <typename T>
const AAX_CString& AAX_CParameter<T>::ShortenedName(int32_t maxChars) const {
    if (maxChars < 0 || mName.Length() <= static_cast<uint32_t>(maxChars) || mShortenedNames.empty()) {
        return mName;
    }
    // First name longer than maxChars; the one before it is the longest that fits.
    auto it = mShortenedNames.upper_bound(static_cast<uint32_t>(maxChars));
    if (it == mShortenedNames.begin()) return it->second;  // none fits: the shortest
    return std::prev(it)->second;
}

template <typename T>
void AAX_CParameter<T>::ClearShortenedNames() {
    mShortenedNames.clear();
}

template <typename T>
bool AAX_CParameter<T>::Automatable() const {
    return mAutomatable;
}

template <typename T>
void AAX_CParameter<T>::SetAutomationDelegate(AAX_IAutomationDelegate* delegate) {
    if (mAutomationDelegate != nullptr) {
        mAutomationDelegate->UnregisterParameter(Identifier());
    }
    mAutomationDelegate = delegate;
    if (mAutomationDelegate != nullptr) {
        mAutomationDelegate->RegisterParameter(Identifier());
    }
}

template <typename T>
void AAX_CParameter<T>::Touch() {
    if (mAutomationDelegate != nullptr) mAutomationDelegate->PostTouchRequest(Identifier());
}

template <typename T>
void AAX_CParameter<T>::Release() {
    if (mAutomationDelegate != nullptr) mAutomationDelegate->PostReleaseRequest(Identifier());
}

template <typename T>
void AAX_CParameter<T>::RequestNormalizedValue(double normalizedValue) {
    if (IsNaN(normalizedValue)) return;
    if (mAutomationDelegate != nullptr) {
        // The value changes only when the host answers with UpdateNormalizedValue.
        Touch();
        mAutomationDelegate->PostSetValueRequest(Identifier(), normalizedValue);
        Release();
    } else {
        mNeedNotify = true;
        UpdateNormalizedValue(normalizedValue);
    }
}

template <typename T>
void AAX_CParameter<T>::SetNormalizedValue(double normalizedValue) {
    // Checked here as well: a binary taper would turn NaN into false.
    if (IsNaN(normalizedValue)) return;
    const T real = mTaperDelegate->NormalizedToReal(normalizedValue);
    RequestNormalizedValue(mTaperDelegate->RealToNormalized(real));
}

template <typename T>
void AAX_CParameter<T>::SetValue(T value) {
    RequestNormalizedValue(mTaperDelegate->RealToNormalized(value));
}

template <typename T>
void AAX_CParameter<T>::SetToDefaultValue() {
    RequestNormalizedValue(mTaperDelegate->RealToNormalized(mDefaultValue));
}

template <typename T>
double AAX_CParameter<T>::GetNormalizedValue() const {
    return mTaperDelegate->RealToNormalized(mValue.Get());
}

template <typename T>
void AAX_CParameter<T>::SetNormalizedDefaultValue(double normalizedDefault) {
    if (IsNaN(normalizedDefault)) return;
    const T real = mTaperDelegate->ConstrainRealValue(mTaperDelegate->NormalizedToReal(normalizedDefault));
    if (IsNaN(real)) return;
    mDefaultValue = real;
}

template <typename T>
double AAX_CParameter<T>::GetNormalizedDefaultValue() const {
    return mTaperDelegate->RealToNormalized(mDefaultValue);
}

template <typename T>
void AAX_CParameter<T>::SetNumberOfSteps(uint32_t numSteps) {
    if (numSteps != 0) mNumSteps = numSteps;
}

template <typename T>
uint32_t AAX_CParameter<T>::GetNumberOfSteps() const {
    return mNumSteps;
}

template <typename T>
uint32_t AAX_CParameter<T>::GetStepValue() const {
    if (mNumSteps < 2) return 0;
    const double lastStep = static_cast<double>(mNumSteps - 1);
    double step = GetNormalizedValue() / (1.0 / lastStep) + 0.5;
    if (step > lastStep) step = lastStep;
    if (!(step >= 0.0)) step = 0.0;  // also catches NaN
    return static_cast<uint32_t>(step);
}

template <typename T>
void AAX_CParameter<T>::SetStepValue(uint32_t step) {
    if (mNumSteps < 2) return;
    double normalized = static_cast<double>(step) * (1.0 / static_cast<double>(mNumSteps - 1));
    if (normalized > 1.0) normalized = 1.0;
    if (normalized < 0.0) normalized = 0.0;
    SetNormalizedValue(normalized);
}

template <typename T>
bool AAX_CParameter<T>::GetValueString(AAX_CString* valueString) const {
    return mDisplayDelegate->ValueToString(mValue.Get(), valueString);
}

template <typename T>
bool AAX_CParameter<T>::GetValueString(int32_t /*maxChars*/, AAX_CString* valueString) const {
    return mDisplayDelegate->ValueToString(mValue.Get(), valueString);
}

template <typename T>
bool AAX_CParameter<T>::GetNormalizedValueFromString(const AAX_CString& valueString, double* normalizedValue) const {
    T value = T();
    if (!mDisplayDelegate->StringToValue(valueString, &value)) return false;
    if (IsNaN(value)) return false;
    if (normalizedValue != nullptr) *normalizedValue = mTaperDelegate->RealToNormalized(value);
    return !(value > mTaperDelegate->GetMaximumValue() || mTaperDelegate->GetMinimumValue() > value);
}

template <typename T>
bool AAX_CParameter<T>::GetStringFromNormalizedValue(double normalizedValue, AAX_CString& valueString) const {
    if (IsNaN(normalizedValue)) return false;
    const T value = mTaperDelegate->NormalizedToReal(normalizedValue);
    if (!mDisplayDelegate->ValueToString(value, &valueString)) return false;
    return !(value > mTaperDelegate->GetMaximumValue() || mTaperDelegate->GetMinimumValue() > value);
}

template <typename T>
bool AAX_CParameter<T>::GetStringFromNormalizedValue(double normalizedValue, int32_t maxChars,
                                                     AAX_CString& valueString) const {
    if (IsNaN(normalizedValue)) return false;
    const T value = mTaperDelegate->NormalizedToReal(normalizedValue);
    if (!mDisplayDelegate->ValueToString(value, maxChars, &valueString)) return false;
    return !(value > mTaperDelegate->GetMaximumValue() || mTaperDelegate->GetMinimumValue() > value);
}

template <typename T>
bool AAX_CParameter<T>::SetValueFromString(const AAX_CString& valueString) {
    T value = T();
    if (!mDisplayDelegate->StringToValue(valueString, &value)) return false;
    if (IsNaN(value)) return false;
    RequestNormalizedValue(mTaperDelegate->RealToNormalized(value));
    return true;
}

template <typename T>
bool AAX_CParameter<T>::GetValueAsBool(bool* value) const {
    return mValue.GetValueAsBool(value);
}

template <typename T>
bool AAX_CParameter<T>::GetValueAsInt32(int32_t* value) const {
    return mValue.GetValueAsInt32(value);
}

template <typename T>
bool AAX_CParameter<T>::GetValueAsFloat(float* value) const {
    return mValue.GetValueAsFloat(value);
}

template <typename T>
bool AAX_CParameter<T>::GetValueAsDouble(double* value) const {
    return mValue.GetValueAsDouble(value);
}

template <typename T>
bool AAX_CParameter<T>::GetValueAsString(AAX_CString* value) const {
    return mValue.GetValueAsString(value);
}

template <typename T>
template <typename U>
bool AAX_CParameter<T>::SetIfOwnType(U value) {
    if constexpr (std::is_same_v<T, U>) {
        if (IsNaN(value)) return false;
        SetValue(value);
        return true;
    } else {
        (void)value;
        return false;
    }
}

template <typename T>
bool AAX_CParameter<T>::SetValueWithBool(bool value) {
    return SetIfOwnType(value);
}

template <typename T>
bool AAX_CParameter<T>::SetValueWithInt32(int32_t value) {
    return SetIfOwnType(value);
}

template <typename T>
bool AAX_CParameter<T>::SetValueWithFloat(float value) {
    return SetIfOwnType(value);
}

template <typename T>
bool AAX_CParameter<T>::SetValueWithDouble(double value) {
    return SetIfOwnType(value);
}

template <typename T>
bool AAX_CParameter<T>::SetValueWithString(const AAX_CString& /*value*/) {
    return false;
}

template <typename T>
void AAX_CParameter<T>::SetType(AAX_EParameterType type) {
    mType = type;
}

template <typename T>
AAX_EParameterType AAX_CParameter<T>::GetType() const {
    return mType;
}

template <typename T>
void AAX_CParameter<T>::SetOrientation(AAX_EParameterOrientation orientation) {
    mOrientation = orientation;
}

template <typename T>
AAX_EParameterOrientation AAX_CParameter<T>::GetOrientation() const {
    return mOrientation;
}

template <typename T>
void AAX_CParameter<T>::SetTaperDelegate(AAX_ITaperDelegateBase& taper, bool preserveValue) {
    auto* typed = dynamic_cast<AAX_ITaperDelegate<T>*>(&taper);
    if (typed == nullptr) return;
    const double position = GetNormalizedValue();
    AAX_ITaperDelegate<T>* replacement = typed->Clone();
    delete mTaperDelegate;
    mTaperDelegate = replacement;
    mNeedNotify = true;
    if (preserveValue) {
        RequestNormalizedValue(mTaperDelegate->RealToNormalized(mValue.Get()));
    } else {
        UpdateNormalizedValue(position);
    }
}

template <typename T>
void AAX_CParameter<T>::SetDisplayDelegate(AAX_IDisplayDelegateBase& display) {
    auto* typed = dynamic_cast<AAX_IDisplayDelegate<T>*>(&display);
    if (typed == nullptr) return;
    AAX_IDisplayDelegate<T>* replacement = typed->Clone();
    delete mDisplayDelegate;
    mDisplayDelegate = replacement;
    if (mAutomationDelegate != nullptr) {
        mAutomationDelegate->PostCurrentValue(Identifier(), GetNormalizedValue());
    }
}

template <typename T>
void AAX_CParameter<T>::UpdateNormalizedValue(double normalizedValue) {
    if (IsNaN(normalizedValue)) return;
    const T value = mTaperDelegate->NormalizedToReal(normalizedValue);
    if (IsNaN(value)) return;
    if (!mNeedNotify && value == mValue.Get()) return;
    mValue.Set(value);
    if (mAutomationDelegate != nullptr) {
        // The value received is reported, not one recomputed from the stored real value.
        mAutomationDelegate->PostCurrentValue(Identifier(), normalizedValue);
    }
    mNeedNotify = false;
}

template class AAX_CParameterValue<float>;
template class AAX_CParameterValue<bool>;
template class AAX_CParameter<float>;
template class AAX_CParameter<bool>;
