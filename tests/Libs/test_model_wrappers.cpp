// The host wrappers: what each forwards, the results without the host's interfaces (-20004) or
// without their second version (-20009), and that every reference obtained is released. Also the
// process-wide host services and the data model's interface queries.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "AAX_CEffectParameters.h"
#include "AAX_CHostServices.h"
#include "AAX_CString.h"
#include "AAX_UIDs.h"
#include "AAX_VAutomationDelegate.h"
#include "AAX_VController.h"
#include "AAX_VHostServices.h"
#include "AAX_VTransport.h"
#include "CACFUnknown.h"
#include "Libs/test_model_fake_host.h"

TEST(ControllerWrapper, ForwardsBothVersionsAndReleasesThem) {
    fakehost::Host host;
    host.controller.sampleRate = 44100.0f;
    {
        AAX_VController controller(&host);
        EXPECT_EQ(host.controller.refs, 2);  // version 1 and version 2
        float rate = 0.0f;
        EXPECT_EQ(controller.GetSampleRate(&rate), AAX_SUCCESS);
        EXPECT_EQ(rate, 44100.0f);
        const unsigned char bytes[3] = {1, 2, 3};
        EXPECT_EQ(controller.PostPacket(14, bytes, 3), AAX_SUCCESS);
        ASSERT_EQ(host.controller.posts.size(), 1u);
        EXPECT_EQ(host.controller.posts[0].field, 14);
        EXPECT_EQ(host.controller.posts[0].bytes, (std::vector<unsigned char>{1, 2, 3}));
        float meter = 0.0f;
        EXPECT_EQ(controller.GetCurrentMeterValue(AAX_FourCC("mGR1"), &meter), AAX_SUCCESS);
        EXPECT_EQ(meter, 0.25f);
        EXPECT_EQ(controller.GetHostName(nullptr), 7);
        EXPECT_EQ(controller.SendNotification(0, nullptr, 0), 8);
    }
    EXPECT_EQ(host.OutstandingReferences(), 0);
}

TEST(ControllerWrapper, MissingVersionsGiveMinus20009AndMinus20004) {
    fakehost::Host host;
    host.offerControllerV2 = false;
    {
        AAX_VController controller(&host);
        float rate = 0.0f;
        EXPECT_EQ(controller.GetSampleRate(&rate), AAX_SUCCESS);
        EXPECT_EQ(controller.GetHostName(nullptr), AAX_ERROR_UNIMPLEMENTED);
        EXPECT_EQ(controller.SendNotification(0, nullptr, 0), AAX_ERROR_UNIMPLEMENTED);
    }
    host.offerController = false;
    {
        AAX_VController controller(&host);
        float rate = -1.0f;
        EXPECT_EQ(controller.GetSampleRate(&rate), AAX_ERROR_NULL_OBJECT);
        EXPECT_EQ(rate, -1.0f);
        EXPECT_EQ(controller.PostPacket(0, &rate, 4), AAX_ERROR_NULL_OBJECT);
        EXPECT_EQ(controller.GetHostName(nullptr), AAX_ERROR_NULL_OBJECT);
    }
    AAX_VController none(nullptr);
    EXPECT_EQ(none.GetMeterCount(nullptr), AAX_ERROR_NULL_OBJECT);
    EXPECT_EQ(host.OutstandingReferences(), 0);
}

TEST(AutomationWrapper, ForwardsAndWithoutHostInterfaceGivesMinus20004) {
    fakehost::Host host;
    {
        AAX_VAutomationDelegate automation(&host);
        EXPECT_EQ(automation.RegisterParameter("Dyn"), AAX_SUCCESS);
        EXPECT_EQ(automation.PostSetValueRequest("Dyn", 0.75), AAX_SUCCESS);
        EXPECT_EQ(automation.PostCurrentValue("Dyn", 0.5), AAX_SUCCESS);
        EXPECT_EQ(automation.PostTouchRequest("Dyn"), AAX_SUCCESS);
        EXPECT_EQ(automation.PostReleaseRequest("Dyn"), AAX_SUCCESS);
        EXPECT_EQ(automation.UnregisterParameter("Dyn"), AAX_SUCCESS);
        using K = fakehost::Automation::Kind;
        const std::vector<fakehost::Automation::Event> expected = {
            {K::Register, "Dyn", 0.0}, {K::SetRequest, "Dyn", 0.75}, {K::CurrentValue, "Dyn", 0.5},
            {K::Touch, "Dyn", 0.0},    {K::Release, "Dyn", 0.0},     {K::Unregister, "Dyn", 0.0}};
        EXPECT_EQ(host.automation.events, expected);
    }
    host.offerAutomation = false;
    AAX_VAutomationDelegate missing(&host);
    EXPECT_EQ(missing.PostSetValueRequest("Dyn", 0.1), AAX_ERROR_NULL_OBJECT);
    AAX_CBoolean touched = 9;
    EXPECT_EQ(missing.GetTouchState("Dyn", &touched), AAX_ERROR_NULL_OBJECT);
    EXPECT_EQ(touched, 9);
    EXPECT_EQ(host.OutstandingReferences(), 0);
}

TEST(TransportWrapper, ForwardsAndReportsMissingVersions) {
    fakehost::Host host;
    {
        AAX_VTransport transport(&host);
        double bpm = 0.0;
        int32_t metronome = 0;
        EXPECT_EQ(transport.GetCurrentTempo(&bpm), AAX_SUCCESS);
        EXPECT_EQ(bpm, 120.0);
        EXPECT_EQ(transport.IsMetronomeEnabled(&metronome), AAX_SUCCESS);
        EXPECT_EQ(metronome, 1);
    }
    host.offerTransportV2 = false;
    {
        AAX_VTransport transport(&host);
        int32_t metronome = 0;
        EXPECT_EQ(transport.IsMetronomeEnabled(&metronome), AAX_ERROR_UNIMPLEMENTED);
    }
    host.offerTransport = false;
    AAX_VTransport missing(&host);
    bool playing = false;
    EXPECT_EQ(missing.IsTransportPlaying(&playing), AAX_ERROR_NULL_OBJECT);
    EXPECT_EQ(host.OutstandingReferences(), 0);
}

TEST(HostServicesWrapper, CreatesTheComponentThroughTheFactoryAndAsksItForVersion2) {
    fakehost::Host host;
    {
        AAX_VHostServices services(&host);
        ASSERT_EQ(host.factory.requests.size(), 1u);
        EXPECT_TRUE(host.factory.requests[0].first == AAXCompID_HostServices);
        EXPECT_TRUE(host.factory.requests[0].second == IID_IAAXHostServicesV1);
        EXPECT_EQ(host.factory.refs, 0) << "the factory is released once the component exists";
        EXPECT_EQ(services.Trace(4, "hello"), 5);
        ASSERT_EQ(host.hostServices.traces.size(), 1u);
        EXPECT_EQ(host.hostServices.traces[0].text, "hello");
        EXPECT_EQ(services.StackTrace(1, 2, "x"), 6);
        EXPECT_EQ(services.HandleAssertFailure("f", 1, "n"), 3);
    }
    host.hostServices.offerV2 = false;
    {
        AAX_VHostServices services(&host);
        EXPECT_EQ(services.StackTrace(1, 2, "x"), AAX_ERROR_UNIMPLEMENTED);
        EXPECT_EQ(services.Trace(1, "still works"), 5);
    }
    host.offerFactory = false;
    AAX_VHostServices missing(&host);
    EXPECT_EQ(missing.Trace(1, "lost"), AAX_ERROR_NULL_OBJECT);
    EXPECT_EQ(missing.StackTrace(1, 2, "lost"), AAX_ERROR_NULL_OBJECT);
    EXPECT_EQ(host.OutstandingReferences(), 0);
}

TEST(ProcessHostServices, TraceFormatsTruncatesAndFollowsSetAndClear) {
    EXPECT_EQ(AAX_CHostServices::Trace(1, "%s", "nobody listens"), AAX_SUCCESS);
    fakehost::Host first;
    fakehost::Host second;
    AAX_CHostServices::Set(&first);
    AAX_CHostServices::Set(&second);  // keeps the first
    EXPECT_EQ(AAX_CHostServices::Trace(0x08000000, "value %d of %s", 42, "x"), 5);
    const std::string longText(600, 'z');
    AAX_CHostServices::Trace(2, "%s", longText.c_str());
    ASSERT_EQ(first.hostServices.traces.size(), 2u);
    EXPECT_TRUE(second.hostServices.traces.empty());
    EXPECT_EQ(first.hostServices.traces[0].priority, 0x08000000);
    EXPECT_EQ(first.hostServices.traces[0].text, "value 42 of x");
    EXPECT_EQ(first.hostServices.traces[1].text, std::string(511, 'z'));
    AAX_CHostServices::Set(nullptr);
    EXPECT_EQ(first.OutstandingReferences(), 0);
    EXPECT_EQ(AAX_CHostServices::Trace(1, "after"), AAX_SUCCESS);
    EXPECT_EQ(first.hostServices.traces.size(), 2u);
}

// A library the module loads carries copies of the component base and the trace route; pointed at
// the module's count and route, its objects and traces are the module's.
std::vector<std::pair<int32_t, std::string>> gRouted;
AAX_Result RouteToModule(int32_t priority, const char* text) {
    gRouted.emplace_back(priority, text);
    return 17;
}

TEST(ProcessHostServices, ACopyCanCountAndTraceThroughAnotherCopysState) {
    std::atomic<int32_t> moduleCount{100};
    const int32_t own = CACFUnknown::m_ActiveObjects.load();
    CACFUnknown::CountObjectsIn(&moduleCount);
    auto* model = new AAX_CEffectParameters();
    EXPECT_EQ(moduleCount.load(), 101);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), 101);
    EXPECT_EQ(CACFUnknown::m_ActiveObjects.load(), own);
    model->GetInnerUnknown()->AddRef();
    model->GetInnerUnknown()->Release();
    EXPECT_EQ(moduleCount.load(), 100);
    CACFUnknown::CountObjectsIn(nullptr);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), own);

    fakehost::Host host;
    AAX_CHostServices::RouteTracesTo(&RouteToModule);
    AAX_CHostServices::Set(&host);  // the copy's own wrapper is passed by
    EXPECT_EQ(AAX_CHostServices::Trace(3, "value %d of %s", 7, "y"), 17);
    AAX_CHostServices::RouteTracesTo(nullptr);
    ASSERT_EQ(gRouted.size(), 1u);
    EXPECT_EQ(gRouted[0].first, 3);
    EXPECT_EQ(gRouted[0].second, "value 7 of y");
    EXPECT_TRUE(host.hostServices.traces.empty());
    // What a route hands on: finished text, unformatted, to this copy's host.
    EXPECT_EQ(AAX_CHostServices::TraceText(4, "100% done"), 5);
    ASSERT_EQ(host.hostServices.traces.size(), 1u);
    EXPECT_EQ(host.hostServices.traces[0].text, "100% done");
    AAX_CHostServices::Set(nullptr);
    EXPECT_EQ(AAX_CHostServices::TraceText(4, "after"), AAX_SUCCESS);
}

TEST(EffectParametersObject, AnswersVersions1To3AndCountsReferences) {
    const int32_t before = CACFUnknown::GetActiveObjectCount();
    auto* model = new AAX_CEffectParameters();
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), before + 1);
    IACFUnknown* unknown = model->GetInnerUnknown();
    for (const acfIID& iid : {IID_IAAXEffectParametersV1, IID_IAAXEffectParametersV2, IID_IAAXEffectParametersV3}) {
        void* out = nullptr;
        EXPECT_EQ(unknown->QueryInterface(iid, &out), ACF_OK);
        EXPECT_EQ(out, static_cast<AAX_IACFEffectParameters*>(model));
    }
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(unknown->QueryInterface(IID_IAAXEffectGUIV1, &out), ACF_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    // Three references from the queries; releasing them all destroys the object.
    auto* host = static_cast<AAX_IACFEffectParameters*>(model);
    EXPECT_EQ(host->Release(), 2u);
    EXPECT_EQ(host->Release(), 1u);
    EXPECT_EQ(host->Release(), 0u);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), before);
}

TEST(EffectParametersObject, BaseWithoutParametersAnswersQueriesSafely) {
    fakehost::Host host;
    {
        AAX_CEffectParameters model;
        EXPECT_EQ(model.Initialize(&host), AAX_SUCCESS);
        AAX_CString bypass("unchanged");
        EXPECT_EQ(model.GetMasterBypassParameter(&bypass), AAX_SUCCESS);
        EXPECT_STREQ(bypass.Get(), "");
        EXPECT_EQ(model.GenerateCoefficients(), AAX_SUCCESS);  // nothing registered, nothing posted
        unsigned char field[6] = {1, 2, 3, 4, 5, 6};
        EXPECT_EQ(model.ResetFieldData(3, field, 5), AAX_SUCCESS);
        EXPECT_EQ(std::vector<unsigned char>(field, field + 6), (std::vector<unsigned char>{0, 0, 0, 0, 0, 6}));
        // Released without Uninitialize: the destructor gives the host its references back.
    }
    EXPECT_EQ(host.OutstandingReferences(), 0);
}
