// AAX_CParameterManager: ownership, control order, lookups, the automation hand-over and removal.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "AAX_CLinearTaperDelegate.h"
#include "AAX_CNumberDisplayDelegate.h"
#include "AAX_CParameter.h"
#include "AAX_CParameterManager.h"
#include "Libs/RecordingAutomationDelegate.h"

namespace {

using Kind = RecordingAutomationDelegate::Kind;
using Events = std::vector<RecordingAutomationDelegate::Event>;

AAX_CParameter<float>* NewParameter(const char* id) {
    return new AAX_CParameter<float>(id, AAX_CString(id), 0.5f, AAX_CLinearTaperDelegate<float, 0>(0.0f, 1.0f),
                                     AAX_CNumberDisplayDelegate<float, 2, 0>(), true);
}

}  // namespace

TEST(ParameterManager, KeepsOrderOfAdditionAndFindsByIdentifier) {
    RecordingAutomationDelegate host;
    AAX_CParameterManager manager;
    EXPECT_EQ(manager.NumParameters(), 0);
    EXPECT_EQ(manager.GetParameter(0), nullptr);
    manager.Initialize(&host);

    AAX_IParameter* gain = NewParameter("InGain");
    AAX_IParameter* width = NewParameter("Width");
    AAX_IParameter* adj = NewParameter("Adj");
    manager.AddParameter(gain);
    manager.AddParameter(width);
    manager.AddParameter(adj);
    EXPECT_EQ(host.Events(), (Events{{Kind::Register, "InGain", 0.0},
                                     {Kind::Register, "Width", 0.0},
                                     {Kind::Register, "Adj", 0.0}}));

    const AAX_CParameterManager& constManager = manager;
    EXPECT_EQ(manager.NumParameters(), 3);
    EXPECT_EQ(manager.GetParameter(0), gain);
    EXPECT_EQ(constManager.GetParameter(2), adj);
    EXPECT_EQ(manager.GetParameter(-1), nullptr);
    EXPECT_EQ(manager.GetParameter(3), nullptr);
    EXPECT_EQ(manager.ControlIndexFromID("Adj"), 2);
    EXPECT_EQ(manager.ControlIndexFromID("InGain"), 0);
    EXPECT_EQ(manager.ControlIndexFromID("Ad"), -1);
    EXPECT_EQ(manager.ControlIndexFromID(nullptr), -1);
    EXPECT_EQ(manager.GetParameterByID("Width"), width);
    EXPECT_EQ(constManager.GetParameterByID("Width"), width);
    EXPECT_EQ(manager.GetParameterByID("width"), nullptr);
    EXPECT_EQ(manager.GetParameterByID(nullptr), nullptr);
    EXPECT_EQ(constManager.GetParameterByID(""), nullptr);

    // Parameters added by the manager route their changes through the host.
    host.Clear();
    manager.GetParameterByID("Width")->SetNormalizedValue(0.25);
    EXPECT_EQ(host.Count(Kind::SetRequest), 1u);
}

TEST(ParameterManager, RejectsNullAndDuplicateParameters) {
    RecordingAutomationDelegate host;
    AAX_CParameterManager manager;
    manager.Initialize(&host);
    AAX_IParameter* first = NewParameter("Dyn");
    manager.AddParameter(first);
    manager.AddParameter(nullptr);
    host.Clear();

    // A duplicate is not taken: it stays the caller's, unregistered.
    std::unique_ptr<AAX_IParameter> duplicate(NewParameter("Dyn"));
    manager.AddParameter(duplicate.get());
    EXPECT_EQ(manager.NumParameters(), 1);
    EXPECT_EQ(manager.GetParameterByID("Dyn"), first);
    EXPECT_TRUE(host.Events().empty());

    // Identifiers that agree in their first 31 characters are the same identifier.
    manager.AddParameter(NewParameter("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234-first"));
    std::unique_ptr<AAX_IParameter> sameStem(NewParameter("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234-second"));
    manager.AddParameter(sameStem.get());
    EXPECT_EQ(manager.NumParameters(), 2);
    EXPECT_EQ(manager.ControlIndexFromID("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234"), 1);
}

TEST(ParameterManager, DelegateIsHandedOverOnAdditionOnly) {
    RecordingAutomationDelegate host;
    AAX_CParameterManager manager;
    manager.AddParameter(NewParameter("Early"));  // before Initialize: stays in direct mode
    manager.Initialize(&host);
    manager.AddParameter(NewParameter("Late"));
    EXPECT_EQ(host.Events(), (Events{{Kind::Register, "Late", 0.0}}));
    manager.GetParameterByID("Early")->SetNormalizedValue(0.9);
    EXPECT_EQ(manager.GetParameterByID("Early")->GetNormalizedValue(), static_cast<double>(0.9f));
    manager.RemoveAllParameters();
    EXPECT_EQ(host.Events().back(), (RecordingAutomationDelegate::Event{Kind::Unregister, "Late", 0.0}));
}

TEST(ParameterManager, RemovalDeletesAndUnregistersEveryParameter) {
    RecordingAutomationDelegate host;
    {
        AAX_CParameterManager manager;
        manager.Initialize(&host);
        for (const char* id : {"A", "B", "C"}) manager.AddParameter(NewParameter(id));
        host.Clear();

        // While parameters unregister, the manager already looks empty.
        std::vector<int32_t> seenCounts;
        host.onUnregister = [&](const char* id) {
            seenCounts.push_back(manager.NumParameters());
            EXPECT_EQ(manager.GetParameterByID(id), nullptr);
        };
        manager.RemoveAllParameters();
        host.onUnregister = nullptr;
        EXPECT_EQ(host.Events(), (Events{{Kind::Unregister, "A", 0.0},
                                         {Kind::Unregister, "B", 0.0},
                                         {Kind::Unregister, "C", 0.0}}));
        EXPECT_EQ(seenCounts, (std::vector<int32_t>{0, 0, 0}));
        EXPECT_EQ(manager.NumParameters(), 0);
        EXPECT_EQ(manager.GetParameter(0), nullptr);
        EXPECT_EQ(manager.GetParameterByID("A"), nullptr);
        EXPECT_EQ(manager.ControlIndexFromID("A"), -1);

        // The manager can be filled again; its destructor removes what is left.
        manager.AddParameter(NewParameter("A"));
        EXPECT_EQ(manager.ControlIndexFromID("A"), 0);
        host.Clear();
    }
    EXPECT_EQ(host.Events(), (Events{{Kind::Unregister, "A", 0.0}}));
}

// A host whose registration throws: the parameter is in neither collection afterwards, so the
// caller that frees it leaves no dangling entry behind.
TEST(ParameterManager, AParameterWhoseRegistrationThrowsIsNotListed) {
    struct ThrowingHost : RecordingAutomationDelegate {
        AAX_Result RegisterParameter(AAX_CParamID) override { throw std::runtime_error("refused"); }
    } host;
    AAX_CParameterManager manager;
    manager.Initialize(&host);
    std::unique_ptr<AAX_IParameter> refused(NewParameter("Width"));
    EXPECT_THROW(manager.AddParameter(refused.get()), std::runtime_error);
    EXPECT_EQ(manager.NumParameters(), 0);
    EXPECT_EQ(manager.GetParameterByID("Width"), nullptr);
    EXPECT_EQ(manager.ControlIndexFromID("Width"), -1);
}
