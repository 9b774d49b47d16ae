// AAX_CParameter and AAX_CParameterValue: direct and automation modes, the update echo, steps, texts,
// names, typed access, delegate replacement, identifiers and the refusal of NaN.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "AAX_CBinaryDisplayDelegate.h"
#include "AAX_CBinaryTaperDelegate.h"
#include "AAX_CLinearTaperDelegate.h"
#include "AAX_CNumberDisplayDelegate.h"
#include "AAX_CParameter.h"
#include "Libs/RecordingAutomationDelegate.h"

namespace {

using Kind = RecordingAutomationDelegate::Kind;
using Event = RecordingAutomationDelegate::Event;
using Events = std::vector<Event>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::unique_ptr<AAX_CParameter<float>> MakeFloat(const char* id = "Gain", float defaultValue = 0.5f,
                                                 float minValue = 0.0f, float maxValue = 1.0f) {
    return std::make_unique<AAX_CParameter<float>>(id, AAX_CString(id), defaultValue,
                                                   AAX_CLinearTaperDelegate<float, 0>(minValue, maxValue),
                                                   AAX_CNumberDisplayDelegate<float, 2, 0>(), true);
}

std::unique_ptr<AAX_CParameter<bool>> MakeBypass() {
    return std::make_unique<AAX_CParameter<bool>>("MasterBypassID", AAX_CString("Master Bypass"), false,
                                                  AAX_CBinaryTaperDelegate<bool>(),
                                                  AAX_CBinaryDisplayDelegate<bool>("bypass", "on"), true);
}

std::string ValueString(const AAX_IParameter& p) {
    AAX_CString text;
    EXPECT_TRUE(p.GetValueString(&text));
    return text.Get();
}

Events Request(const char* id, double value) {
    return {{Kind::Touch, id, 0.0}, {Kind::SetRequest, id, value}, {Kind::Release, id, 0.0}};
}

// A display that reads every text as NaN, standing in for any text or chunk source of NaN.
class NaNDisplay : public AAX_CNumberDisplayDelegate<float, 2, 0> {
public:
    NaNDisplay* Clone() const override { return new NaNDisplay; }
    bool StringToValue(const AAX_CString&, float* value) const override {
        *value = std::numeric_limits<float>::quiet_NaN();
        return true;
    }
};

}  // namespace

TEST(Parameter, ConstructionSetsTheDefaultAndFixedProperties) {
    const auto p = MakeFloat("Gain", 0.25f);
    EXPECT_STREQ(p->Identifier(), "Gain");
    EXPECT_STREQ(p->Name().Get(), "Gain");
    EXPECT_EQ(p->GetValue(), 0.25f);
    EXPECT_EQ(p->GetNormalizedDefaultValue(), 0.25);
    EXPECT_EQ(p->GetNumberOfSteps(), 128u);
    EXPECT_EQ(p->GetType(), AAX_eParameterType_Continuous);
    EXPECT_EQ(p->GetOrientation(), 0);
    EXPECT_TRUE(p->Automatable());
    EXPECT_EQ(ValueString(*p), "0.25");

    // A default outside the range is kept as given, but the value is clamped.
    const auto high = MakeFloat("High", 1.5f);
    EXPECT_EQ(high->GetValue(), 1.0f);
    EXPECT_EQ(high->GetDefaultValue(), 1.5f);

    const auto bypass = MakeBypass();
    EXPECT_FALSE(bypass->GetValue());
    EXPECT_EQ(bypass->GetNumberOfSteps(), 128u);  // construction always sees the continuous type
    EXPECT_EQ(ValueString(*bypass), "bypass");
}

TEST(Parameter, DirectModeStoresClampedValuesAtOnce) {
    const auto p = MakeFloat();
    p->SetNormalizedValue(1.7);
    EXPECT_EQ(p->GetValue(), 1.0f);
    p->SetNormalizedValue(-0.5);
    EXPECT_EQ(p->GetValue(), 0.0f);
    p->SetNormalizedValue(0.3);
    EXPECT_EQ(p->GetValue(), 0.3f);
    p->SetValue(3.0f);
    EXPECT_EQ(p->GetValue(), 1.0f);
    p->SetToDefaultValue();
    EXPECT_EQ(p->GetValue(), 0.5f);

    // A range other than 0..1: the normalized value maps through the taper.
    const auto gain = MakeFloat("Out", 0.0f, -24.0f, 12.0f);
    gain->SetNormalizedValue(0.25);
    EXPECT_EQ(gain->GetValue(), -15.0f);
    EXPECT_DOUBLE_EQ(gain->GetNormalizedValue(), 0.25);
}

TEST(Parameter, AutomationModeRequestsAndTheHostEchoStores) {
    RecordingAutomationDelegate host;
    const auto p = MakeFloat();
    p->SetAutomationDelegate(&host);
    EXPECT_EQ(host.Events(), (Events{{Kind::Register, "Gain", 0.0}}));
    host.Clear();

    p->SetNormalizedValue(1.7);
    EXPECT_EQ(host.Events(), Request("Gain", 1.0));  // clamped before it is posted
    EXPECT_EQ(p->GetValue(), 0.5f);                  // unchanged until the host answers
    host.Clear();

    p->UpdateNormalizedValue(1.0);
    EXPECT_EQ(p->GetValue(), 1.0f);
    EXPECT_EQ(host.Events(), (Events{{Kind::CurrentValue, "Gain", 1.0}}));
    host.Clear();
    p->UpdateNormalizedValue(1.0);  // same value, nothing pending: silent
    p->UpdateNormalizedValue(1.3);  // clamps to the same value: silent
    EXPECT_TRUE(host.Events().empty());
    p->UpdateNormalizedValue(0.2);
    p->UpdateNormalizedValue(1.5);  // stores 1.0, reports the value received
    EXPECT_EQ(host.Events(), (Events{{Kind::CurrentValue, "Gain", 0.2}, {Kind::CurrentValue, "Gain", 1.5}}));
    EXPECT_EQ(p->GetValue(), 1.0f);
    host.Clear();

    // Every change request goes the same way.
    p->SetValue(0.25f);
    p->SetToDefaultValue();
    EXPECT_TRUE(p->SetValueFromString(AAX_CString("0.75")));
    EXPECT_TRUE(p->SetValueWithFloat(2.0f));
    Events expected;
    for (double m : {0.25, 0.5, 0.75, 1.0}) {
        for (const Event& e : Request("Gain", m)) expected.push_back(e);
    }
    EXPECT_EQ(host.Events(), expected);
    EXPECT_EQ(p->GetValue(), 1.0f);
    host.Clear();

    // A gesture bracketed by the caller.
    p->Touch();
    AAX_CBoolean touched = 0;
    host.GetTouchState("Gain", &touched);
    EXPECT_EQ(touched, 1);
    p->Release();
    EXPECT_EQ(host.Events(), (Events{{Kind::Touch, "Gain", 0.0}, {Kind::Release, "Gain", 0.0}}));
}

TEST(Parameter, DelegateAttachmentAndDestructionRegisterAndUnregister) {
    RecordingAutomationDelegate first;
    RecordingAutomationDelegate second;
    auto p = MakeFloat();
    p->SetAutomationDelegate(&first);
    p->SetAutomationDelegate(&second);
    EXPECT_EQ(first.Events(), (Events{{Kind::Register, "Gain", 0.0}, {Kind::Unregister, "Gain", 0.0}}));
    p->SetAutomationDelegate(nullptr);
    p->SetNormalizedValue(0.9);  // detached: direct again
    EXPECT_EQ(p->GetValue(), 0.9f);
    EXPECT_EQ(second.Events(), (Events{{Kind::Register, "Gain", 0.0}, {Kind::Unregister, "Gain", 0.0}}));

    p->SetAutomationDelegate(&first);
    first.Clear();
    p.reset();
    EXPECT_EQ(first.Events(), (Events{{Kind::Unregister, "Gain", 0.0}}));
}

TEST(Parameter, StepsCountFromTheNormalizedValue) {
    RecordingAutomationDelegate host;  // outlives the parameter, which unregisters when destroyed
    const auto p = MakeFloat();
    p->SetNumberOfSteps(131);
    EXPECT_EQ(p->GetStepValue(), 65u);
    p->SetNormalizedValue(1.0);
    EXPECT_EQ(p->GetStepValue(), 130u);
    p->SetNormalizedValue(0.0);
    EXPECT_EQ(p->GetStepValue(), 0u);
    p->SetStepValue(65);
    EXPECT_EQ(p->GetValue(), 0.5f);
    p->SetStepValue(13);
    EXPECT_EQ(p->GetValue(), static_cast<float>(13.0 / 130.0));
    p->SetStepValue(500);  // past the last step: the maximum
    EXPECT_EQ(p->GetValue(), 1.0f);

    p->SetNumberOfSteps(9);
    p->SetNormalizedValue(0.3);
    EXPECT_EQ(p->GetStepValue(), 2u);   // 0.3 * 8 + 0.5 = 2.9, truncated
    EXPECT_EQ(p->GetValue(), 0.3f);     // setting a value does not snap it to a step
    p->SetNumberOfSteps(0);             // ignored
    EXPECT_EQ(p->GetNumberOfSteps(), 9u);

    p->SetNumberOfSteps(1);
    EXPECT_EQ(p->GetStepValue(), 0u);
    p->SetStepValue(1);  // nothing happens with a single step
    EXPECT_EQ(p->GetValue(), 0.3f);

    const auto bypass = MakeBypass();
    bypass->SetNumberOfSteps(2);
    EXPECT_EQ(bypass->GetStepValue(), 0u);
    bypass->SetStepValue(1);
    EXPECT_TRUE(bypass->GetValue());
    EXPECT_EQ(bypass->GetStepValue(), 1u);

    p->SetNumberOfSteps(131);
    p->SetAutomationDelegate(&host);
    host.Clear();
    p->SetStepValue(130);
    EXPECT_EQ(host.Events(), Request("Gain", 1.0));
}

TEST(Parameter, TextsInAndOut) {
    const auto p = MakeFloat();
    AAX_CString text;
    EXPECT_TRUE(p->GetValueString(2, &text));
    EXPECT_STREQ(text.Get(), "0.50");  // the limit is not applied to the current value's text
    EXPECT_TRUE(p->GetStringFromNormalizedValue(0.25, text));
    EXPECT_STREQ(text.Get(), "0.25");
    EXPECT_TRUE(p->GetStringFromNormalizedValue(0.5, 3, text));
    EXPECT_STREQ(text.Get(), "0.5");
    EXPECT_TRUE(p->GetStringFromNormalizedValue(1.5, text));  // clamped before it is shown
    EXPECT_STREQ(text.Get(), "1.00");

    double normalized = 7.0;
    EXPECT_TRUE(p->GetNormalizedValueFromString(AAX_CString("0.25"), &normalized));
    EXPECT_EQ(normalized, 0.25);
    EXPECT_FALSE(p->GetNormalizedValueFromString(AAX_CString("1.5"), &normalized));
    EXPECT_EQ(normalized, 1.0);  // out of range: the clamped value, and false
    EXPECT_FALSE(p->GetNormalizedValueFromString(AAX_CString("-2"), &normalized));
    EXPECT_EQ(normalized, 0.0);
    normalized = 7.0;
    EXPECT_FALSE(p->GetNormalizedValueFromString(AAX_CString("abc"), &normalized));
    EXPECT_EQ(normalized, 7.0);  // unreadable: untouched

    EXPECT_TRUE(p->SetValueFromString(AAX_CString("1.5")));  // accepted and clamped
    EXPECT_EQ(p->GetValue(), 1.0f);
    EXPECT_FALSE(p->SetValueFromString(AAX_CString("abc")));
    EXPECT_EQ(p->GetValue(), 1.0f);

    const auto bypass = MakeBypass();
    EXPECT_TRUE(bypass->SetValueFromString(AAX_CString("on")));
    EXPECT_TRUE(bypass->GetValue());
    EXPECT_EQ(ValueString(*bypass), "on");
    EXPECT_FALSE(bypass->SetValueFromString(AAX_CString("Bypass")));
    EXPECT_TRUE(bypass->GetValue());
    EXPECT_TRUE(bypass->GetStringFromNormalizedValue(0.0, text));
    EXPECT_STREQ(text.Get(), "bypass");
}

TEST(Parameter, ShortenedNames) {
    const auto p = MakeBypass();  // "Master Bypass", 13 characters
    EXPECT_STREQ(p->ShortenedName(3).Get(), "Master Bypass");  // none stored
    p->AddShortenedName(AAX_CString("MB"));
    p->AddShortenedName(AAX_CString("Bypas"));
    EXPECT_STREQ(p->ShortenedName(3).Get(), "MB");
    EXPECT_STREQ(p->ShortenedName(5).Get(), "Bypas");
    EXPECT_STREQ(p->ShortenedName(12).Get(), "Bypas");
    EXPECT_STREQ(p->ShortenedName(1).Get(), "MB");  // none fits: the shortest
    EXPECT_STREQ(p->ShortenedName(13).Get(), "Master Bypass");
    EXPECT_STREQ(p->ShortenedName(-1).Get(), "Master Bypass");
    p->AddShortenedName(AAX_CString("Bypss"));  // same length replaces
    EXPECT_STREQ(p->ShortenedName(5).Get(), "Bypss");
    p->ClearShortenedNames();
    p->AddShortenedName(AAX_CString("Bypas"));
    EXPECT_STREQ(p->ShortenedName(3).Get(), "Bypas");
    p->ClearShortenedNames();
    EXPECT_STREQ(p->ShortenedName(3).Get(), "Master Bypass");
}

TEST(Parameter, TypedAccessAcceptsOnlyItsOwnType) {
    RecordingAutomationDelegate host;
    const auto p = MakeFloat();
    bool b = true;
    int32_t i = 7;
    float f = 0.0f;
    double d = 9.0;
    AAX_CString s("keep");
    EXPECT_TRUE(p->GetValueAsFloat(&f));
    EXPECT_EQ(f, 0.5f);
    EXPECT_FALSE(p->GetValueAsBool(&b) || p->GetValueAsInt32(&i) || p->GetValueAsDouble(&d) || p->GetValueAsString(&s));
    EXPECT_TRUE(b && i == 7 && d == 9.0 && s == AAX_CString("keep"));  // failing getters write nothing

    p->SetAutomationDelegate(&host);
    host.Clear();
    EXPECT_FALSE(p->SetValueWithBool(true) || p->SetValueWithInt32(1) || p->SetValueWithDouble(0.9) ||
                 p->SetValueWithString(AAX_CString("0.9")));
    EXPECT_TRUE(host.Events().empty());
    p->SetAutomationDelegate(nullptr);
    EXPECT_TRUE(p->SetValueWithFloat(0.25f));
    EXPECT_EQ(p->GetValue(), 0.25f);

    const auto bypass = MakeBypass();
    EXPECT_FALSE(bypass->SetValueWithInt32(1));
    EXPECT_FALSE(bypass->SetValueWithFloat(1.0f));
    EXPECT_FALSE(bypass->GetValue());
    EXPECT_TRUE(bypass->SetValueWithBool(true));
    EXPECT_TRUE(bypass->GetValueAsBool(&b));
    EXPECT_TRUE(b);
    EXPECT_FALSE(bypass->GetValueAsFloat(&f));

    // The detached value holder follows the same rules.
    const std::unique_ptr<AAX_IParameterValue> value(bypass->CloneValue());
    bypass->SetValueWithBool(false);  // detached: later changes do not reach it
    b = false;
    EXPECT_TRUE(value->GetValueAsBool(&b));
    EXPECT_TRUE(b);
    EXPECT_FALSE(value->GetValueAsInt32(&i));
    EXPECT_FALSE(value->GetValueAsString(&s));
    const std::unique_ptr<AAX_IParameterValue> copy(value->Clone());
    EXPECT_STREQ(copy->Identifier(), "MasterBypassID");
    EXPECT_TRUE(copy->GetValueAsBool(&b));
}

TEST(Parameter, IdentifiersKeepAtMost31Characters) {
    RecordingAutomationDelegate host;
    const char* forty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    const auto p = MakeFloat(forty);
    EXPECT_STREQ(p->Identifier(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    const std::unique_ptr<AAX_IParameterValue> value(p->CloneValue());
    EXPECT_STREQ(value->Identifier(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    float f = 0.0f;
    EXPECT_TRUE(value->GetValueAsFloat(&f));
    EXPECT_EQ(f, 0.5f);
    EXPECT_STREQ(MakeFloat("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234")->Identifier(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    EXPECT_STREQ(MakeFloat(nullptr)->Identifier(), "");

    p->SetAutomationDelegate(&host);  // the host sees the truncated identifier
    EXPECT_EQ(host.Events(), (Events{{Kind::Register, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", 0.0}}));
}

TEST(Parameter, DefaultValue) {
    const auto p = MakeFloat();
    p->SetNormalizedDefaultValue(1.7);
    EXPECT_EQ(p->GetNormalizedDefaultValue(), 1.0);
    EXPECT_EQ(p->GetValue(), 0.5f);  // the current value is not touched
    p->SetNormalizedDefaultValue(0.2);
    p->SetToDefaultValue();
    EXPECT_EQ(p->GetValue(), 0.2f);

    // A range of a single value: the default is taken and everything sits at normalized 0.
    const auto fixed = MakeFloat("Fixed", 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(fixed->GetValue(), 0.5f);
    EXPECT_EQ(fixed->GetNormalizedValue(), 0.0);
    EXPECT_EQ(fixed->GetNormalizedDefaultValue(), 0.0);
    fixed->SetNormalizedValue(0.8);
    EXPECT_EQ(fixed->GetValue(), 0.5f);
}

TEST(Parameter, ReplacingTheTaper) {
    RecordingAutomationDelegate host;
    const AAX_CLinearTaperDelegate<float, 0> wide(0.0f, 10.0f);

    // Keeping the normalized position: the real value follows the new taper and is reported.
    const auto p = MakeFloat();
    p->SetAutomationDelegate(&host);
    host.Clear();
    p->SetTaperDelegate(const_cast<AAX_CLinearTaperDelegate<float, 0>&>(wide), false);
    EXPECT_EQ(p->GetValue(), 5.0f);
    EXPECT_EQ(host.Events(), (Events{{Kind::CurrentValue, "Gain", 0.5}}));

    // Keeping the real value: a request for its new normalized position; the echo reports even though
    // the value itself does not change.
    const auto q = MakeFloat("Q");
    q->SetAutomationDelegate(&host);
    host.Clear();
    AAX_CLinearTaperDelegate<float, 0> wideCopy(wide);
    q->SetTaperDelegate(wideCopy, true);
    EXPECT_EQ(host.Events(), Request("Q", 0.05));
    host.Clear();
    q->UpdateNormalizedValue(0.05);
    EXPECT_EQ(host.Events(), (Events{{Kind::CurrentValue, "Q", 0.05}}));
    EXPECT_EQ(q->GetValue(), 0.5f);
    host.Clear();
    q->UpdateNormalizedValue(0.05);  // now nothing is pending
    EXPECT_TRUE(host.Events().empty());

    // Direct mode keeps the real value too; a taper of another value type is ignored.
    const auto r = MakeFloat("R");
    r->SetTaperDelegate(wideCopy, true);
    EXPECT_EQ(r->GetValue(), 0.5f);
    EXPECT_DOUBLE_EQ(r->GetNormalizedValue(), 0.05);
    AAX_CBinaryTaperDelegate<bool> binary;
    r->SetTaperDelegate(binary, false);
    EXPECT_EQ(r->TaperDelegate()->GetMaximumValue(), 10.0f);
}

TEST(Parameter, ReplacingTheDisplay) {
    RecordingAutomationDelegate host;
    const auto p = MakeFloat();
    AAX_CNumberDisplayDelegate<float, 1> oneDecimal;
    p->SetDisplayDelegate(oneDecimal);  // no host: nothing posted
    EXPECT_EQ(ValueString(*p), "0.5");
    p->SetAutomationDelegate(&host);
    host.Clear();
    p->SetNormalizedValue(0.2);
    p->UpdateNormalizedValue(0.2);
    host.Clear();
    AAX_CNumberDisplayDelegate<float, 3> threeDecimals;
    p->SetDisplayDelegate(threeDecimals);
    EXPECT_EQ(host.Events(), (Events{{Kind::CurrentValue, "Gain", p->GetNormalizedValue()}}));
    EXPECT_EQ(ValueString(*p), "0.200");
    AAX_CBinaryDisplayDelegate<bool> wrongType("no", "yes");
    p->SetDisplayDelegate(wrongType);
    EXPECT_EQ(ValueString(*p), "0.200");
}

// NaN has no place in a parameter: from automation, a state chunk or a text, it changes nothing and
// nothing is sent to the host. Infinities are clamped like any other out-of-range value.
TEST(Parameter, NaNChangesNothingOnAnyPath) {
    const float nanF = std::numeric_limits<float>::quiet_NaN();
    for (bool withHost : {false, true}) {
        SCOPED_TRACE(withHost ? "automation mode" : "direct mode");
        RecordingAutomationDelegate host;
        const auto p = MakeFloat();
        if (withHost) p->SetAutomationDelegate(&host);
        p->UpdateNormalizedValue(0.3);
        host.Clear();

        p->SetNormalizedValue(kNaN);
        p->SetValue(nanF);
        EXPECT_FALSE(p->SetValueWithFloat(nanF));
        EXPECT_FALSE(p->SetValueFromString(AAX_CString("nan")));
        p->UpdateNormalizedValue(kNaN);
        p->SetNormalizedDefaultValue(kNaN);
        EXPECT_EQ(p->GetValue(), 0.3f);
        EXPECT_EQ(p->GetNormalizedDefaultValue(), 0.5);
        EXPECT_TRUE(host.Events().empty()) << host.Events().size() << " events";

        NaNDisplay nanDisplay;
        p->SetDisplayDelegate(nanDisplay);
        host.Clear();
        EXPECT_FALSE(p->SetValueFromString(AAX_CString("anything")));
        double normalized = 7.0;
        EXPECT_FALSE(p->GetNormalizedValueFromString(AAX_CString("anything"), &normalized));
        EXPECT_EQ(normalized, 7.0);
        AAX_CString text("kept");
        EXPECT_FALSE(p->GetStringFromNormalizedValue(kNaN, text));
        EXPECT_FALSE(p->GetStringFromNormalizedValue(kNaN, 8, text));
        EXPECT_STREQ(text.Get(), "kept");
        EXPECT_EQ(p->GetValue(), 0.3f);
        EXPECT_TRUE(host.Events().empty());
    }

    // A binary taper would read NaN as false; the parameter refuses it first.
    const auto bypass = MakeBypass();
    bypass->SetValue(true);
    bypass->SetNormalizedValue(kNaN);
    bypass->UpdateNormalizedValue(kNaN);
    EXPECT_TRUE(bypass->GetValue());

    RecordingAutomationDelegate host;
    const auto p = MakeFloat();
    p->SetNormalizedValue(kInf);
    EXPECT_EQ(p->GetValue(), 1.0f);
    p->SetValue(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(p->GetValue(), 0.0f);
    p->SetAutomationDelegate(&host);
    host.Clear();
    p->SetNormalizedValue(kInf);
    p->UpdateNormalizedValue(kInf);
    EXPECT_EQ(p->GetValue(), 1.0f);
    Events expected = Request("Gain", 1.0);
    expected.push_back({Kind::CurrentValue, "Gain", kInf});
    EXPECT_EQ(host.Events(), expected);
}
