// The typed parameter: a real value of type T, mapped to and from the host's normalized range by its
// taper, written and read as text by its display, and changed through the host's automation when an
// automation delegate is attached (directly otherwise).
#pragma once

#include <cstdint>
#include <map>

#include "AAX.h"
#include "AAX_CParameterValue.h"
#include "AAX_CString.h"
#include "AAX_IAutomationDelegate.h"
#include "AAX_IDisplayDelegate.h"
#include "AAX_IParameter.h"
#include "AAX_ITaperDelegate.h"

// Threading: a parameter takes no lock; calls on one parameter must not overlap. The host calls
// UpdateNormalizedValue (through the data model) on a thread of its choice; no operation here runs on
// the audio thread. The parameter itself allocates only when its name, shortened names or delegates
// change, or when CloneValue is called.
//
// NaN is never accepted as a value: a change request or update whose normalized or real value is NaN
// changes nothing and sends nothing to the host, so it can never reach the audio kernel or saved state.
template <typename T>
class AAX_CParameter : public AAX_IParameter {
public:
    // Copies the name, keeps clones of both delegates, sets 128 steps (2 for a discrete parameter)
    // and sets the value to the default. A null identifier gives the empty identifier.
    AAX_CParameter(AAX_CParamID identifier, const AAX_IString& name, T defaultValue,
                   const AAX_ITaperDelegate<T>& taper, const AAX_IDisplayDelegate<T>& display,
                   bool automatable = false);
    AAX_CParameter(const AAX_CParameter&) = delete;
    AAX_CParameter& operator=(const AAX_CParameter&) = delete;
    // Unregisters from the automation delegate, if one is attached.
    ~AAX_CParameter() override;

    AAX_IParameterValue* CloneValue() const override;
    AAX_CParamID Identifier() const override;
    void SetName(const AAX_CString& name) override;
    const AAX_CString& Name() const override;
    // Stored under its length; a later name of the same length replaces the earlier one.
    void AddShortenedName(const AAX_CString& name) override;
    // The full name if maxChars is negative, the name fits or there are no shortened names; otherwise
    // the longest shortened name that fits, or the shortest one when none fits.
    const AAX_CString& ShortenedName(int32_t maxChars) const override;
    void ClearShortenedNames() override;
    bool Automatable() const override;
    // Unregisters from the previous delegate and registers with the new one (null detaches).
    void SetAutomationDelegate(AAX_IAutomationDelegate* delegate) override;
    void Touch() override;
    void Release() override;

    void SetNormalizedValue(double normalizedValue) override;
    double GetNormalizedValue() const override;
    void SetNormalizedDefaultValue(double normalizedDefault) override;
    double GetNormalizedDefaultValue() const override;
    void SetToDefaultValue() override;
    void SetNumberOfSteps(uint32_t numSteps) override;  // 0 is ignored
    uint32_t GetNumberOfSteps() const override;
    uint32_t GetStepValue() const override;
    void SetStepValue(uint32_t step) override;

    bool GetValueString(AAX_CString* valueString) const override;
    // The character limit is not applied: the text is the same as that of the form above.
    bool GetValueString(int32_t maxChars, AAX_CString* valueString) const override;
    // False for an unreadable text (output untouched) and for a value outside the taper's range (the
    // clamped normalized value is written).
    bool GetNormalizedValueFromString(const AAX_CString& valueString, double* normalizedValue) const override;
    bool GetStringFromNormalizedValue(double normalizedValue, AAX_CString& valueString) const override;
    bool GetStringFromNormalizedValue(double normalizedValue, int32_t maxChars,
                                      AAX_CString& valueString) const override;
    // Out-of-range numbers are accepted and clamped; an unreadable text changes nothing.
    bool SetValueFromString(const AAX_CString& valueString) override;

    // Only the getter and setter of type T work; the others do nothing and return false.
    bool GetValueAsBool(bool* value) const override;
    bool GetValueAsInt32(int32_t* value) const override;
    bool GetValueAsFloat(float* value) const override;
    bool GetValueAsDouble(double* value) const override;
    bool GetValueAsString(AAX_CString* value) const override;
    bool SetValueWithBool(bool value) override;
    bool SetValueWithInt32(int32_t value) override;
    bool SetValueWithFloat(float value) override;
    bool SetValueWithDouble(double value) override;
    bool SetValueWithString(const AAX_CString& value) override;

    void SetType(AAX_EParameterType type) override;
    AAX_EParameterType GetType() const override;
    void SetOrientation(AAX_EParameterOrientation orientation) override;
    AAX_EParameterOrientation GetOrientation() const override;

    // Replaces the taper with a clone of `taper` (which must be an AAX_ITaperDelegate<T>; another
    // type is ignored). preserveValue keeps the real value, otherwise the normalized position is kept.
    void SetTaperDelegate(AAX_ITaperDelegateBase& taper, bool preserveValue) override;
    // Replaces the display with a clone of `display` (an AAX_IDisplayDelegate<T>; another type is
    // ignored) and tells the host to refresh the shown text.
    void SetDisplayDelegate(AAX_IDisplayDelegateBase& display) override;
    // The host's answer to a set request, or its own automation: stores the value and reports it back
    // with PostCurrentValue, unless it equals the current value and no report is pending.
    void UpdateNormalizedValue(double normalizedValue) override;

    // A change request with a real value.
    void SetValue(T value);
    T GetValue() const { return mValue.Get(); }
    T GetDefaultValue() const { return mDefaultValue; }

    const AAX_ITaperDelegate<T>* TaperDelegate() const { return mTaperDelegate; }
    const AAX_IDisplayDelegate<T>* DisplayDelegate() const { return mDisplayDelegate; }

private:
    // A change request with `value` when U is the parameter's own type (a NaN is refused); every
    // other type fails and changes nothing.
    template <typename U>
    bool SetIfOwnType(U value);

    // Routes a change through the host's automation, or applies it at once without one.
    void RequestNormalizedValue(double normalizedValue);

    AAX_CString mName;
    std::map<uint32_t, AAX_CString> mShortenedNames;
    bool mAutomatable;
    uint32_t mNumSteps;
    AAX_EParameterType mType;
    AAX_EParameterOrientation mOrientation;
    AAX_ITaperDelegate<T>* mTaperDelegate;
    AAX_IDisplayDelegate<T>* mDisplayDelegate;
    AAX_IAutomationDelegate* mAutomationDelegate;
    bool mNeedNotify;
    AAX_CParameterValue<T> mValue;
    T mDefaultValue;
};

extern template class AAX_CParameter<float>;
extern template class AAX_CParameter<bool>;
