// The data model as the host and the editor use it: the parameter set, the edit flow and the
// change count, relative changes, name and text queries, error results, the private-block reset and
// the instance's lifecycle.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "AAX_CBinaryDisplayDelegate.h"
#include "AAX_CBinaryTaperDelegate.h"
#include "AAX_CParameter.h"
#include "AAX_CString.h"
#include "AAX_IParameter.h"
#include "Tandrel_Alg.h"
#include "effect/test_tandrel_parameters_fixture.h"

using Kind = fakehost::Automation::Kind;
using Event = fakehost::Automation::Event;

TEST_F(TandrelModelTest, CreatesTheNineParametersInControlOrder) {
    struct Row {
        const char* id;
        const char* name;
        AAX_EParameterType type;
        int32_t steps;
        double defaultValue;
        const char* shown;
    };
    const Row rows[] = {
        {"MasterBypassID", "Master Bypass", AAX_eParameterType_Discrete, 2, 0.0, "bypass"},
        {"InGain", "InGain", AAX_eParameterType_Continuous, 131, 0.5, "0.50"},
        {"FreqW", "FreqW", AAX_eParameterType_Continuous, 131, 0.5, "0.50"},
        {"Width", "Width", AAX_eParameterType_Continuous, 131, 1.0, "1.00"},
        {"FreqA", "FreqA", AAX_eParameterType_Continuous, 131, 0.5, "0.50"},
        {"Action", "Action", AAX_eParameterType_Continuous, 131, 1.0, "1.00"},
        {"Dyn", "Dyn", AAX_eParameterType_Continuous, 131, 1.0, "1.00"},
        {"Adj", "Adj", AAX_eParameterType_Continuous, 9, 0.5, "0.50"},
        {"OutGain", "OutGain", AAX_eParameterType_Continuous, 131, 0.5, "0.50"},
    };
    int32_t count = 0;
    EXPECT_EQ(model->GetNumberOfParameters(&count), AAX_SUCCESS);
    EXPECT_EQ(count, 9);
    for (int32_t index = 0; index < 9; ++index) {
        const Row& row = rows[index];
        SCOPED_TRACE(row.id);
        AAX_CString id, name, shown;
        EXPECT_EQ(model->GetParameterIDFromIndex(index, &id), AAX_SUCCESS);
        EXPECT_STREQ(id.Get(), row.id);
        int32_t controlIndex = -1, steps = 0;
        EXPECT_EQ(model->GetParameterIndex(row.id, &controlIndex), AAX_SUCCESS);
        EXPECT_EQ(controlIndex, index);
        model->GetParameterName(row.id, &name);
        EXPECT_STREQ(name.Get(), row.name);
        AAX_EParameterType type = AAX_EParameterType(-1);
        model->GetParameterType(row.id, &type);
        EXPECT_EQ(type, row.type);
        model->GetParameterNumberOfSteps(row.id, &steps);
        EXPECT_EQ(steps, row.steps);
        double defaultValue = -1.0;
        model->GetParameterDefaultNormalizedValue(row.id, &defaultValue);
        EXPECT_EQ(defaultValue, row.defaultValue);
        EXPECT_EQ(Value(row.id), row.defaultValue);
        model->GetParameterValueString(row.id, &shown, 8);
        EXPECT_STREQ(shown.Get(), row.shown);
        AAX_CBoolean automatable = 0;
        model->GetParameterIsAutomatable(row.id, &automatable);
        EXPECT_EQ(automatable, 1);
    }
}

TEST_F(TandrelModelTest, EachParameterRegisteredWithTheHostsAutomation) {
    fakehost::Host other;
    AAX_IEffectParameters* fresh = Tandrel_Parameters::Create();
    fresh->AddRef();
    ASSERT_EQ(fresh->Initialize(&other), AAX_SUCCESS);
    EXPECT_EQ(other.automation.Count(Kind::Register), 9u);
    EXPECT_EQ(other.automation.events.front(), (Event{Kind::Register, "MasterBypassID", 0.0}));
    fresh->Uninitialize();
    EXPECT_EQ(other.automation.Count(Kind::Unregister), 9u);
    EXPECT_EQ(other.OutstandingReferences(), 0);
    fresh->Release();
}

TEST_F(TandrelModelTest, EditFlowGoesThroughTheHostAndCountsOnlyUpdates) {
    int32_t changes = -1;
    Edit("FreqA", 0.8);
    // The request carries the value after one pass through the float taper.
    const double requested = double(0.8f);
    const std::vector<Event> expected = {{Kind::Touch, "FreqA", 0.0},
                                         {Kind::SetRequest, "FreqA", requested},
                                         {Kind::CurrentValue, "FreqA", requested},
                                         {Kind::Release, "FreqA", 0.0}};
    EXPECT_EQ(host.automation.events, expected);
    EXPECT_EQ(Value("FreqA"), double(0.8f));
    model->GetNumberOfChanges(&changes);
    EXPECT_EQ(changes, 1);

    // A set request the host does not answer changes nothing and is not counted.
    host.automation.answerSetRequestsWith = nullptr;
    Edit("Dyn", 0.2);
    EXPECT_EQ(Value("Dyn"), 1.0);
    model->GetNumberOfChanges(&changes);
    EXPECT_EQ(changes, 1);

    // Host-side automation arrives as an update alone and is counted.
    EXPECT_EQ(model->UpdateParameterNormalizedValue("Dyn", 0.25, AAX_eUpdateSource_Delay), AAX_SUCCESS);
    EXPECT_EQ(Value("Dyn"), 0.25);
    EXPECT_EQ(model->UpdateParameterNormalizedValue("Nope", 0.25, AAX_eUpdateSource_Delay),
              AAX_ERROR_INVALID_PARAMETER_ID);
    model->GetNumberOfChanges(&changes);
    EXPECT_EQ(changes, 2);
}

TEST_F(TandrelModelTest, RelativeChangesClampToTheNormalizedRange) {
    Edit("Width", 0.9);
    host.automation.events.clear();
    EXPECT_EQ(model->SetParameterNormalizedRelative("Width", 0.3), AAX_SUCCESS);
    ASSERT_GE(host.automation.events.size(), 2u);
    EXPECT_EQ(host.automation.events[1], (Event{Kind::SetRequest, "Width", 1.0}));
    EXPECT_EQ(Value("Width"), 1.0);

    Edit("InGain", 0.1);
    EXPECT_EQ(model->SetParameterNormalizedRelative("InGain", -0.3), AAX_SUCCESS);
    EXPECT_EQ(Value("InGain"), 0.0);

    int32_t before = 0, after = 0;
    model->GetNumberOfChanges(&before);
    EXPECT_EQ(model->UpdateParameterNormalizedRelative("Adj", 0.75), AAX_SUCCESS);  // 0.5 + 0.75
    EXPECT_EQ(Value("Adj"), 1.0);
    EXPECT_EQ(model->UpdateParameterNormalizedRelative("Adj", -0.25), AAX_SUCCESS);
    EXPECT_EQ(Value("Adj"), 0.75);
    model->GetNumberOfChanges(&after);
    EXPECT_EQ(after, before + 2);
    EXPECT_EQ(model->SetParameterNormalizedRelative("Nope", 0.1), AAX_ERROR_INVALID_PARAMETER_ID);
    EXPECT_EQ(model->UpdateParameterNormalizedRelative("Nope", 0.1), AAX_ERROR_INVALID_PARAMETER_ID);
}

TEST_F(TandrelModelTest, NameOfLengthPicksTheLongestFittingLineOrCuts) {
    auto nameOf = [&](const char* id, int32_t length) {
        AAX_CString name("unchanged");
        EXPECT_EQ(model->GetParameterNameOfLength(id, &name, length), AAX_SUCCESS);
        return std::string(name.Get());
    };
    EXPECT_EQ(nameOf("MasterBypassID", 20), "Master Bypass");
    EXPECT_EQ(nameOf("MasterBypassID", 6), "Master");
    EXPECT_EQ(nameOf("MasterBypassID", 0), "");
    EXPECT_EQ(nameOf("MasterBypassID", -3), "");
    EXPECT_EQ(nameOf("Unknown", 10), "");
    EXPECT_EQ(model->GetParameterNameOfLength("Dyn", nullptr, 4), AAX_ERROR_INVALID_STRING_CONVERSION);

    // A name offering two alternatives, one per line (10 and 4 characters).
    AAX_IParameter* dyn = nullptr;
    ASSERT_EQ(model->GetParameter("Dyn", &dyn), AAX_SUCCESS);
    dyn->SetName(AAX_CString("Dynamics 1\nDyn1"));
    EXPECT_EQ(nameOf("Dyn", 12), "Dynamics 1");
    EXPECT_EQ(nameOf("Dyn", 4), "Dyn1");
    EXPECT_EQ(nameOf("Dyn", 3), "Dyn");  // nothing fits: the first three characters of the text
    // An empty name leaves the output as it was.
    dyn->SetName(AAX_CString(""));
    EXPECT_EQ(nameOf("Dyn", 5), "unchanged");
}

TEST_F(TandrelModelTest, ErrorResultsAndWhatTheyLeaveBehind) {
    AAX_CBoolean automatable = 7;
    EXPECT_EQ(model->GetParameterIsAutomatable("Nope", &automatable), AAX_ERROR_INVALID_PARAMETER_ID);
    EXPECT_EQ(automatable, 0);
    int32_t index = 5;
    EXPECT_EQ(model->GetParameterIndex("Nope", &index), AAX_ERROR_INVALID_PARAMETER_ID);
    EXPECT_EQ(index, -1);
    AAX_CString id("x");
    EXPECT_EQ(model->GetParameterIDFromIndex(9, &id), AAX_ERROR_INVALID_PARAMETER_ID);
    EXPECT_STREQ(id.Get(), "");
    AAX_IParameter* parameter = reinterpret_cast<AAX_IParameter*>(1);
    EXPECT_EQ(model->GetParameter("Nope", &parameter), AAX_ERROR_INVALID_PARAMETER_ID);
    EXPECT_EQ(parameter, nullptr);
    AAX_CString name("x");
    EXPECT_EQ(model->GetParameterName("Nope", &name), AAX_SUCCESS);
    EXPECT_STREQ(name.Get(), "");
    EXPECT_EQ(model->SetParameterNormalizedValue("Nope", 0.5), AAX_ERROR_INVALID_PARAMETER_ID);
    EXPECT_EQ(model->TouchParameter("Nope"), AAX_ERROR_INVALID_PARAMETER_ID);

    // Text conversions: unreadable and out-of-range texts fail and leave the value alone.
    double value = 0.125;
    EXPECT_EQ(model->GetParameterValueFromString("Width", &value, AAX_CString("abc")),
              AAX_ERROR_INVALID_STRING_CONVERSION);
    EXPECT_EQ(model->GetParameterValueFromString("Width", &value, AAX_CString("1.5")),
              AAX_ERROR_INVALID_STRING_CONVERSION);
    EXPECT_EQ(value, 0.125);
    EXPECT_EQ(model->GetParameterValueFromString("Width", &value, AAX_CString("0.25")), AAX_SUCCESS);
    EXPECT_EQ(value, 0.25);
    EXPECT_EQ(model->GetParameterValueFromString("MasterBypassID", &value, AAX_CString("on")), AAX_SUCCESS);
    EXPECT_EQ(value, 1.0);
    AAX_CString text;
    EXPECT_EQ(model->GetParameterStringFromValue("MasterBypassID", 1.0, &text, 8), AAX_SUCCESS);
    EXPECT_STREQ(text.Get(), "on");
    EXPECT_EQ(model->GetParameterStringFromValue("Adj", 0.126, &text, 3), AAX_SUCCESS);
    EXPECT_STREQ(text.Get(), "0.1");

    // Operations not offered.
    int32_t info = 9;
    EXPECT_EQ(model->GetParameterValueInfo("Width", 0, &info), AAX_ERROR_UNIMPLEMENTED);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(model->GetCurveData(0, nullptr, 0, nullptr), AAX_ERROR_UNIMPLEMENTED);
    EXPECT_EQ(model->GetCurveDataMeterIds(0, nullptr, nullptr), AAX_ERROR_UNIMPLEMENTED);
    EXPECT_EQ(model->GetCurveDataDisplayRange(0, nullptr, nullptr, nullptr, nullptr), AAX_ERROR_UNIMPLEMENTED);
    EXPECT_EQ(model->RenderAudio_Hybrid(nullptr), AAX_ERROR_UNIMPLEMENTED);
    uint32_t written = 5;
    EXPECT_EQ(model->GetCustomData(0, 4, nullptr, &written), AAX_SUCCESS);
    EXPECT_EQ(written, 0u);

    // A step count beyond the signed 32-bit range cannot be reported.
    ASSERT_EQ(model->GetParameter("Adj", &parameter), AAX_SUCCESS);
    parameter->SetNumberOfSteps(0x80000000u);
    int32_t steps = 17;
    EXPECT_EQ(model->GetParameterNumberOfSteps("Adj", &steps), AAX_ERROR_SIGNED_INT_OVERFLOW);
    EXPECT_EQ(steps, 17);
    parameter->SetNumberOfSteps(0x7FFFFFFFu);
    EXPECT_EQ(model->GetParameterNumberOfSteps("Adj", &steps), AAX_SUCCESS);
    EXPECT_EQ(steps, 0x7FFFFFFF);
}

namespace {

// A host string that cannot take any text: its Set throws as an allocation failure would.
class RefusingString : public AAX_IString {
public:
    uint32_t Length() const override { return 0; }
    uint32_t MaxLength() const override { return 0; }
    const char* Get() const override { return ""; }
    void Set(const char*) override { throw std::bad_alloc(); }
    AAX_IString& operator=(const AAX_IString&) override { throw std::bad_alloc(); }
    AAX_IString& operator=(const char*) override { throw std::bad_alloc(); }
};

}  // namespace

TEST_F(TandrelModelTest, ExceptionsWhileWritingTextBecomeResultCodes) {
    RefusingString text;
    EXPECT_EQ(model->GetMasterBypassParameter(&text), ACF_E_UNEXPECTED);
    EXPECT_EQ(model->GetParameterIDFromIndex(0, &text), ACF_E_UNEXPECTED);
    EXPECT_EQ(model->GetParameterIDFromIndex(99, &text), ACF_E_UNEXPECTED);
    EXPECT_EQ(model->GetParameterName("Dyn", &text), ACF_E_UNEXPECTED);
    EXPECT_EQ(model->GetParameterNameOfLength("Dyn", &text, 8), ACF_E_UNEXPECTED);
    EXPECT_EQ(model->GetParameterValueString("Dyn", &text, 8), ACF_E_UNEXPECTED);
    EXPECT_EQ(model->GetParameterStringFromValue("Dyn", 0.5, &text, 8), ACF_E_UNEXPECTED);
    // The instance is unharmed.
    AAX_CString id;
    EXPECT_EQ(model->GetParameterIDFromIndex(0, &id), AAX_SUCCESS);
    EXPECT_STREQ(id.Get(), "MasterBypassID");
}

TEST_F(TandrelModelTest, MasterBypassQueryAndPreviewNotification) {
    AAX_CString bypass;
    EXPECT_EQ(model->GetMasterBypassParameter(&bypass), AAX_SUCCESS);
    EXPECT_STREQ(bypass.Get(), "MasterBypassID");
    EXPECT_STREQ(cDefaultMasterBypassID, "MasterBypassID");
    EXPECT_STREQ(cPreviewID, "PreviewID");
    const int32_t on = 1;
    EXPECT_EQ(model->NotificationReceived(cAAX_NotificationPreviewState, &on, sizeof on), AAX_SUCCESS);
    EXPECT_EQ(model->NotificationReceived(cAAX_NotificationPreviewState, nullptr, 0), AAX_SUCCESS);
    EXPECT_EQ(Value("MasterBypassID"), 0.0);  // no preview parameter: nothing changes
}

// A data model that also has the "PreviewID" parameter: the preview notification sets it.
TEST(TandrelPreview, ThePreviewNotificationSetsAPreviewParameter) {
    struct WithPreview : Tandrel_Parameters {
        AAX_Result EffectInit() override {
            Tandrel_Parameters::EffectInit();
            mParameterManager.AddParameter(new AAX_CParameter<bool>(cPreviewID, AAX_CString("Preview"), false,
                                                                    AAX_CBinaryTaperDelegate<bool>(),
                                                                    AAX_CBinaryDisplayDelegate<bool>("off", "on"), true));
            return AAX_SUCCESS;
        }
    };
    fakehost::Host host;
    auto* model = new WithPreview();
    model->AddRef();
    host.automation.answerSetRequestsWith = model;
    ASSERT_EQ(model->Initialize(&host), AAX_SUCCESS);
    auto notify = [&](AAX_CTypeID type, int32_t state, uint32_t size) {
        EXPECT_EQ(model->NotificationReceived(type, &state, size), AAX_SUCCESS);
        double value = -1.0;
        EXPECT_EQ(model->GetParameterNormalizedValue(cPreviewID, &value), AAX_SUCCESS);
        return value;
    };
    EXPECT_EQ(notify(cAAX_NotificationPreviewState, 1, 4), 1.0);
    EXPECT_EQ(notify(cAAX_NotificationPreviewState, 0, 2), 1.0);      // too short: ignored
    EXPECT_EQ(notify(cAAX_NotificationPreviewState + 1, 0, 4), 1.0);  // another notification
    EXPECT_EQ(notify(cAAX_NotificationPreviewState, 0, 4), 0.0);
    model->Uninitialize();
    model->Release();
}

// The model hands its private blocks to the kernel's reset (whose bytes are that reset's own tests)
// and leaves every other field alone; it asks for the sample rate only for a private block.
TEST_F(TandrelModelTest, ResetFieldDataForwardsOnlyThePrivateBlocks) {
    std::vector<unsigned char> blocks(1680, 0xAB), expected(1680, 0xAB);
    EXPECT_EQ(model->ResetFieldData(eTandrelField_CoefsA, blocks.data(), 840), AAX_RESULT_FIELD_DATA_RESET);
    EXPECT_EQ(blocks, expected);
    EXPECT_EQ(host.controller.sampleRateQueries, 0);
    EXPECT_EQ(model->ResetFieldData(eTandrelField_PrivateData, blocks.data(), 1680), AAX_RESULT_FIELD_DATA_RESET);
    Tandrel_ResetFieldData(eTandrelField_PrivateData, expected.data(), 1680);
    EXPECT_EQ(blocks, expected);
    EXPECT_EQ(host.controller.sampleRateQueries, 1);
}

TEST(TandrelLifecycle, AfterUninitializeNothingIsPostedAndTheHostIsReleased) {
    fakehost::Host host;
    AAX_IEffectParameters* model = Tandrel_Parameters::Create();
    model->AddRef();
    host.automation.answerSetRequestsWith = model;
    ASSERT_EQ(model->Initialize(&host), AAX_SUCCESS);
    ASSERT_EQ(model->Uninitialize(), AAX_SUCCESS);
    EXPECT_EQ(host.OutstandingReferences(), 0);
    // The packets are still dirty, but the controller is gone: nothing may be posted through it.
    EXPECT_EQ(model->GenerateCoefficients(), AAX_ERROR_NULL_OBJECT);
    EXPECT_TRUE(host.controller.posts.empty());
    int32_t count = -1;
    model->GetNumberOfParameters(&count);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(model->UpdateParameterNormalizedValue("Dyn", 0.5, AAX_eUpdateSource_Unspecified),
              AAX_ERROR_INVALID_PARAMETER_ID);
    std::vector<unsigned char> block(840, 0xCD);
    EXPECT_EQ(model->ResetFieldData(eTandrelField_PrivateData, block.data(), 840), AAX_RESULT_FIELD_DATA_RESET);
    EXPECT_EQ(block[496], 1);  // still resets without a controller to ask
    model->Release();
}
