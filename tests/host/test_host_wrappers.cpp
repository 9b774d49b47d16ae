// The module's own glue, in-process against small fake host objects: the description wrappers, the
// view container wrapper, the editor object's base and its reference counting.
#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "AAX_CAutoreleasePool.h"
#include "AAX_CEffectGUI.h"
#include "AAX_IACFEffectParameters.h"
#include "AAX_UIDs.h"
#include "AAX_VCollection.h"
#include "AAX_VComponentDescriptor.h"
#include "AAX_VEffectDescriptor.h"
#include "AAX_VPropertyMap.h"
#include "AAX_VViewContainer.h"
#include "Tandrel_Parameters.h"

namespace {

// Live fake host objects, to check that the wrappers release everything they made.
int gLiveFakes = 0;

// Reference counting for the fakes; each answers `this` for its identifiers.
class Fake {
public:
    Fake() { ++gLiveFakes; }
    virtual ~Fake() { --gLiveFakes; }
    int refs = 1;
    std::vector<std::string> calls;

protected:
    ACFRESULT Answer(IACFUnknown* self, const acfIID& iid, void** out, std::initializer_list<acfIID> ids) {
        *out = nullptr;
        for (const acfIID& id : ids) {
            if (id == iid) {
                *out = self;
                ++refs;
                return ACF_OK;
            }
        }
        return ACF_E_NOINTERFACE;
    }
    uint32_t Drop() {
        const int n = --refs;
        if (n == 0) delete this;
        return uint32_t(n);
    }
};

#define FAKE_UNKNOWN                                          \
    uint32_t AddRef() override { return uint32_t(++refs); }   \
    uint32_t Release() override { return Drop(); }

class FakePropertyMap : public AAX_IACFPropertyMap_V2, public Fake {
public:
    explicit FakePropertyMap(bool v2) : mV2(v2) {}
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (mV2) return Answer(this, iid, out, {IID_IACFUnknown, IID_IAAXPropertyMapV1, IID_IAAXPropertyMapV2});
        return Answer(this, iid, out, {IID_IACFUnknown, IID_IAAXPropertyMapV1});
    }
    FAKE_UNKNOWN
    AAX_CBoolean GetProperty(AAX_EProperty p, AAX_CPropertyValue* v) const override {
        *v = AAX_CPropertyValue(p) * 10;
        return 1;
    }
    AAX_Result AddProperty(AAX_EProperty p, AAX_CPropertyValue v) override {
        calls.push_back("AddProperty " + std::to_string(p) + "=" + std::to_string(v));
        return 0;
    }
    AAX_Result RemoveProperty(AAX_EProperty) override { return 0; }
    AAX_CBoolean GetPointerProperty(AAX_EProperty, const void** v) const override {
        *v = this;
        return 1;
    }
    AAX_Result AddPointerProperty(AAX_EProperty, const void*) override { return 7; }

private:
    bool mV2;
};

class FakeComponentDescriptor : public AAX_IACFComponentDescriptor_V2, public Fake {
public:
    explicit FakeComponentDescriptor(bool v2) : mV2(v2) {}
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (mV2) {
            return Answer(this, iid, out,
                          {IID_IACFUnknown, IID_IAAXComponentDescriptorV1, IID_IAAXComponentDescriptorV2});
        }
        return Answer(this, iid, out, {IID_IACFUnknown, IID_IAAXComponentDescriptorV1});
    }
    FAKE_UNKNOWN
    AAX_Result Clear() override { return Log("Clear"); }
    AAX_Result AddReservedField(AAX_CFieldIndex f, uint32_t) override { return Log("Reserved", f); }
    AAX_Result AddAudioIn(AAX_CFieldIndex f) override { return Log("AudioIn", f); }
    AAX_Result AddAudioOut(AAX_CFieldIndex f) override { return Log("AudioOut", f); }
    AAX_Result AddAudioBufferLength(AAX_CFieldIndex f) override { return Log("BufferLength", f); }
    AAX_Result AddSampleRate(AAX_CFieldIndex f) override { return Log("SampleRate", f); }
    AAX_Result AddClock(AAX_CFieldIndex f) override { return Log("Clock", f); }
    AAX_Result AddSideChainIn(AAX_CFieldIndex f) override { return Log("SideChainIn", f); }
    AAX_Result AddDataInPort(AAX_CFieldIndex f, uint32_t, int32_t) override { return Log("DataInPort", f); }
    AAX_Result AddPrivateData(AAX_CFieldIndex f, int32_t, int32_t) override { return Log("PrivateData", f); }
    AAX_Result AddMeters(AAX_CFieldIndex f, const AAX_CTypeID*, uint32_t) override { return Log("Meters", f); }
    AAX_Result AddProcessProc_Native(AAX_CProcessProc, IACFUnknown* props, AAX_CInstanceInitProc, AAX_CBackgroundProc,
                                     AAX_CTypeID*) override {
        lastProperties = props;
        return Log("Native");
    }
    AAX_Result AddProcessProc_TI(const char* file, const char*, IACFUnknown* props, const char*, const char*,
                                 AAX_CTypeID*) override {
        lastProperties = props;
        return Log(std::string("TI ") + file);
    }
    AAX_Result AddTemporaryData(AAX_CFieldIndex f, uint32_t) override { return Log("Temporary", f); }
    IACFUnknown* lastProperties = nullptr;

private:
    AAX_Result Log(const std::string& what, int field = -1) {
        calls.push_back(field < 0 ? what : what + " " + std::to_string(field));
        return 3;  // a recognisable answer, to see that it is passed through unchanged
    }
    bool mV2;
};

class FakeEffectDescriptor : public AAX_IACFEffectDescriptor_V2, public Fake {
public:
    explicit FakeEffectDescriptor(bool v2) : mV2(v2) {}
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (mV2) return Answer(this, iid, out, {IID_IACFUnknown, IID_IAAXEffectDescriptorV1, IID_IAAXEffectDescriptorV2});
        return Answer(this, iid, out, {IID_IACFUnknown, IID_IAAXEffectDescriptorV1});
    }
    FAKE_UNKNOWN
    AAX_Result AddComponent(IACFUnknown* c) override {
        lastUnknown = c;
        return 5;
    }
    AAX_Result AddName(const char* n) override {
        calls.push_back(std::string("Name ") + n);
        return 5;
    }
    AAX_Result AddCategory(uint32_t) override { return 5; }
    AAX_Result AddCategoryBypassParameter(uint32_t, AAX_CParamID) override { return 5; }
    AAX_Result AddProcPtr(void*, AAX_CProcPtrID) override { return 5; }
    AAX_Result SetProperties(IACFUnknown* p) override {
        lastUnknown = p;
        return 5;
    }
    AAX_Result AddResourceInfo(AAX_EResourceType, const char*) override { return 5; }
    AAX_Result AddMeterDescription(AAX_CTypeID, const char*, IACFUnknown* p) override {
        lastUnknown = p;
        return 5;
    }
    AAX_Result AddControlMIDINode(AAX_CTypeID, int32_t, const char*, uint32_t) override { return 6; }
    IACFUnknown* lastUnknown = nullptr;

private:
    bool mV2;
};

class FakeCollection : public AAX_IACFCollection, public Fake {
public:
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        return Answer(this, iid, out, {IID_IACFUnknown, IID_IAAXCollectionV1});
    }
    FAKE_UNKNOWN
    AAX_Result AddEffect(const char* id, IACFUnknown* e) override {
        calls.push_back(std::string("AddEffect ") + id);
        lastUnknown = e;
        return 9;
    }
    AAX_Result SetManufacturerName(const char*) override { return 9; }
    AAX_Result AddPackageName(const char*) override { return 9; }
    AAX_Result SetPackageVersion(uint32_t) override { return 9; }
    AAX_Result SetProperties(IACFUnknown* p) override {
        lastUnknown = p;
        return 9;
    }
    IACFUnknown* lastUnknown = nullptr;
};

// The host object with its component factory; which objects it makes, and with which versions,
// is up to the test. It keeps every object it made (one reference) for inspection.
class FakeFactory : public IACFComponentFactory, public Fake {
public:
    bool makeCollection = true, makeEffect = true, makeComponent = true, makeMap = true, v2 = true;
    bool throwOnCreate = false;  // a host that breaks its contract
    std::vector<Fake*> made;

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        return Answer(this, iid, out, {IID_IACFUnknown, IID_IACFComponentFactory});
    }
    FAKE_UNKNOWN
    ACFRESULT CreateComponent(const acfCLSID& cls, IACFUnknown*, const acfIID& iid, void** out) override {
        *out = nullptr;
        if (throwOnCreate) throw std::runtime_error("this host throws");
        IACFUnknown* unknown = nullptr;
        Fake* fake = nullptr;
        if (cls == AAXCompID_AAXCollection && makeCollection) {
            auto* f = new FakeCollection();
            unknown = f;
            fake = f;
        } else if (cls == AAXCompID_EffectDescriptor && makeEffect) {
            auto* f = new FakeEffectDescriptor(v2);
            unknown = f;
            fake = f;
        } else if (cls == AAXCompID_ComponentDescriptor && makeComponent) {
            auto* f = new FakeComponentDescriptor(v2);
            unknown = f;
            fake = f;
        } else if (cls == AAXCompID_PropertyMap && makeMap) {
            auto* f = new FakePropertyMap(v2);
            unknown = f;
            fake = f;
        }
        if (unknown == nullptr) return ACF_E_NOINTERFACE;
        const ACFRESULT r = unknown->QueryInterface(iid, out);
        made.push_back(fake);  // the creation reference stays with the factory until it goes
        return r;
    }
    // Drops the creation references; afterwards an object lives only while a wrapper holds it.
    void DropCreationReferences() {
        for (Fake* f : made) {
            if (--f->refs == 0) delete f;
        }
        made.clear();
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Description wrappers

TEST(DescriptionWrappers, WithoutAHostEveryOperationReportsAMissingObject) {
    AAX_VCollection collection(nullptr);
    EXPECT_EQ(collection.NewDescriptor(), nullptr);
    EXPECT_EQ(collection.NewPropertyMap(), nullptr);
    EXPECT_EQ(collection.AddEffect("x", nullptr), -20004);
    EXPECT_EQ(collection.SetManufacturerName("x"), -20004);
    EXPECT_EQ(collection.AddPackageName("x"), -20004);
    EXPECT_EQ(collection.SetPackageVersion(1), -20004);
    EXPECT_EQ(collection.SetProperties(nullptr), -20004);
    EXPECT_EQ(collection.GetIUnknown(), nullptr);

    AAX_VEffectDescriptor effect(nullptr);
    EXPECT_EQ(effect.NewComponentDescriptor(), nullptr);
    EXPECT_EQ(effect.NewPropertyMap(), nullptr);
    EXPECT_EQ(effect.AddName("x"), -20004);
    EXPECT_EQ(effect.AddCategory(2), -20004);
    EXPECT_EQ(effect.AddProcPtr(nullptr, 0), -20004);
    EXPECT_EQ(effect.AddResourceInfo(AAX_eResourceType_PageTable, "x"), -20004);
    EXPECT_EQ(effect.AddMeterDescription(1, "x", nullptr), -20004);
    EXPECT_EQ(effect.AddComponent(nullptr), -20004);
    // Without a host object the version-2 calls report a missing object too, not an old host.
    EXPECT_EQ(effect.AddControlMIDINode(1, 0, "x", 1), -20004);
    EXPECT_EQ(effect.GetIUnknown(), nullptr);

    AAX_VComponentDescriptor component(nullptr);
    EXPECT_EQ(component.NewPropertyMap(), nullptr);
    EXPECT_EQ(component.Clear(), -20004);
    EXPECT_EQ(component.AddAudioIn(9), -20004);
    EXPECT_EQ(component.AddDataInPort(0, 4, 1), -20004);
    EXPECT_EQ(component.AddPrivateData(16, 840, 0), -20004);
    EXPECT_EQ(component.AddProcessProc_Native(nullptr, nullptr, nullptr, nullptr, nullptr), -20004);
    EXPECT_EQ(component.AddProcessProc_TI("x", "y", nullptr, nullptr, nullptr, nullptr), -20004);
    EXPECT_EQ(component.AddTemporaryData(3, 4), -20004);

    AAX_VPropertyMap map(nullptr);
    AAX_CPropertyValue value = 42;
    EXPECT_EQ(map.GetProperty(11, &value), 0);
    EXPECT_EQ(value, 42);
    const void* pointer = &value;
    EXPECT_EQ(map.GetPointerProperty(11, &pointer), 0);
    EXPECT_EQ(pointer, &value);
    EXPECT_EQ(map.AddProperty(11, 1), -20004);
    EXPECT_EQ(map.RemoveProperty(11), -20004);
    EXPECT_EQ(map.AddPointerProperty(11, nullptr), -20004);
    EXPECT_EQ(map.GetIUnknown(), nullptr);
}

TEST(DescriptionWrappers, VersionOneObjectsForwardAndVersionTwoCallsAreNotOffered) {
    auto* host = new FakeFactory();
    host->v2 = false;
    {
        AAX_VCollection collection(host);
        AAX_IEffectDescriptor* effect = collection.NewDescriptor();
        ASSERT_NE(effect, nullptr);
        AAX_IComponentDescriptor* component = effect->NewComponentDescriptor();
        ASSERT_NE(component, nullptr);
        AAX_IPropertyMap* props = component->NewPropertyMap();
        ASSERT_NE(props, nullptr);
        host->DropCreationReferences();

        EXPECT_EQ(effect->AddName("Marovex"), 5);
        EXPECT_EQ(effect->AddControlMIDINode(1, 0, "x", 1), -20009);
        EXPECT_EQ(component->AddAudioIn(9), 3);
        EXPECT_EQ(component->AddTemporaryData(3, 4), -20009);
        EXPECT_EQ(props->AddProperty(11, 7), 0);
        AAX_CPropertyValue v = 0;
        EXPECT_EQ(props->GetProperty(6, &v), 1);
        EXPECT_EQ(v, 60);
        EXPECT_EQ(props->AddPointerProperty(1, nullptr), -20009);
        const void* p = nullptr;
        EXPECT_EQ(props->GetPointerProperty(1, &p), 0);

        // Objects cross as their host objects' IACFUnknown.
        EXPECT_EQ(component->AddProcessProc_Native(nullptr, props, nullptr, nullptr, nullptr), 3);
        auto* hostComponent = static_cast<FakeComponentDescriptor*>(
            static_cast<AAX_IACFComponentDescriptor*>(component->GetIUnknown()));
        EXPECT_EQ(hostComponent->lastProperties, props->GetIUnknown());
        EXPECT_EQ(component->AddProcessProc_TI("f.dll", "AlgEntry", nullptr, nullptr, nullptr, nullptr), 3);
        EXPECT_EQ(hostComponent->lastProperties, nullptr);
        EXPECT_EQ(hostComponent->calls,
                  (std::vector<std::string>{"AudioIn 9", "Native", "TI f.dll"}));
        EXPECT_EQ(effect->AddComponent(component), 5);
        auto* hostEffect = static_cast<FakeEffectDescriptor*>(
            static_cast<AAX_IACFEffectDescriptor*>(effect->GetIUnknown()));
        EXPECT_EQ(hostEffect->lastUnknown, component->GetIUnknown());
        EXPECT_EQ(collection.AddEffect("Mrv", effect), 9);
        EXPECT_EQ(collection.GetV1()->AddEffect("y", nullptr), 9);
        EXPECT_GT(gLiveFakes, 1);
    }
    // The collection wrapper released everything it and its descriptors made.
    EXPECT_EQ(host->refs, 1);
    host->Release();
    EXPECT_EQ(gLiveFakes, 0);
}

TEST(DescriptionWrappers, VersionTwoObjectsOfferTheVersionTwoCalls) {
    auto* host = new FakeFactory();
    {
        AAX_VEffectDescriptor effect(host);
        AAX_VComponentDescriptor component(host);
        AAX_VPropertyMap map(host);
        host->DropCreationReferences();
        ASSERT_NE(effect.GetV2(), nullptr);
        EXPECT_EQ(effect.AddControlMIDINode(1, 0, "x", 1), 6);
        EXPECT_EQ(component.AddTemporaryData(3, 4), 3);
        EXPECT_EQ(map.AddPointerProperty(1, nullptr), 7);
        const void* p = nullptr;
        EXPECT_EQ(map.GetPointerProperty(1, &p), 1);
        EXPECT_EQ(p, static_cast<const void*>(map.GetIUnknown()));  // the fake answers its own address
    }
    EXPECT_EQ(host->refs, 1);
    host->Release();
    EXPECT_EQ(gLiveFakes, 0);
}

TEST(DescriptionWrappers, AHostThatCannotMakeAnObjectGivesNullAndKeepsNothing) {
    auto* host = new FakeFactory();
    host->makeEffect = false;
    host->makeMap = false;
    {
        AAX_VCollection collection(host);
        EXPECT_NE(collection.GetIUnknown(), nullptr);
        EXPECT_EQ(collection.NewDescriptor(), nullptr);
        EXPECT_EQ(collection.NewPropertyMap(), nullptr);
        host->DropCreationReferences();
    }
    host->makeEffect = true;
    host->makeComponent = false;
    {
        AAX_VEffectDescriptor effect(host);
        EXPECT_EQ(effect.NewComponentDescriptor(), nullptr);
        EXPECT_EQ(effect.NewPropertyMap(), nullptr);
        host->DropCreationReferences();
    }
    EXPECT_EQ(host->refs, 1);

    // A factory that throws: the exception passes through to the entry point, and the reference to
    // the factory taken for the creation is given back on the way.
    host->throwOnCreate = true;
    EXPECT_THROW(AAX_VCollection collection(host), std::runtime_error);
    EXPECT_THROW(AAX_VPropertyMap map(host), std::runtime_error);
    EXPECT_EQ(host->refs, 1);
    host->Release();
    EXPECT_EQ(gLiveFakes, 0);
}

// ---------------------------------------------------------------------------------------------
// View container wrapper

namespace {

class FakeViewContainer : public AAX_IACFViewContainer_V2, public Fake {
public:
    explicit FakeViewContainer(bool v2, void* native = nullptr) : mV2(v2), mNative(native) {}
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (mV2) return Answer(this, iid, out, {IID_IACFUnknown, IID_IAAXViewContainerV1, IID_IAAXViewContainerV2});
        return Answer(this, iid, out, {IID_IACFUnknown, IID_IAAXViewContainerV1});
    }
    FAKE_UNKNOWN
    int32_t GetType() override { return AAX_eViewContainer_Type_NSView; }
    void* GetPtr() override { return mNative; }
    AAX_Result GetModifiers(uint32_t* m) override {
        *m = AAX_eModifiers_Option;
        return 0;
    }
    AAX_Result SetViewSize(AAX_Point&) override { return 4; }
    AAX_Result HandleParameterMouseDown(AAX_CParamID, uint32_t) override { return 1; }
    AAX_Result HandleParameterMouseDrag(AAX_CParamID, uint32_t) override { return 2; }
    AAX_Result HandleParameterMouseUp(AAX_CParamID, uint32_t) override { return 3; }
    AAX_Result HandleMultipleParametersMouseDown(const AAX_CParamID*, uint32_t, uint32_t) override { return 8; }

private:
    bool mV2;
    void* mNative;
};

}  // namespace

TEST(ViewContainerWrapper, AnswersWithoutAContainerAndForwardsToOne) {
    AAX_VViewContainer none(nullptr);
    AAX_Point size{1.0f, 2.0f};
    uint32_t modifiers = 99;
    EXPECT_EQ(none.GetType(), 0);
    EXPECT_EQ(none.GetPtr(), nullptr);
    EXPECT_EQ(none.SetViewSize(size), 0);
    EXPECT_EQ(none.GetModifiers(&modifiers), -20009);
    EXPECT_EQ(modifiers, 99u);
    EXPECT_EQ(none.HandleParameterMouseDown("a", 0), -20009);
    EXPECT_EQ(none.HandleParameterMouseDrag("a", 0), -20009);
    EXPECT_EQ(none.HandleParameterMouseUp("a", 0), -20009);
    EXPECT_EQ(none.HandleMultipleParametersMouseDown(nullptr, 0, 0), -20009);

    int native = 0;
    auto* v1 = new FakeViewContainer(false, &native);
    {
        AAX_VViewContainer c(v1);
        EXPECT_EQ(v1->refs, 2);
        EXPECT_EQ(c.GetType(), 1);
        EXPECT_EQ(c.GetPtr(), &native);
        EXPECT_EQ(c.GetModifiers(&modifiers), 0);
        EXPECT_EQ(modifiers, uint32_t(AAX_eModifiers_Option));
        EXPECT_EQ(c.SetViewSize(size), 4);
        EXPECT_EQ(c.HandleParameterMouseDown("a", 0), 1);
        EXPECT_EQ(c.HandleParameterMouseDrag("a", 0), 2);
        EXPECT_EQ(c.HandleParameterMouseUp("a", 0), 3);
        EXPECT_EQ(c.HandleMultipleParametersMouseDown(nullptr, 0, 0), -20009);
    }
    EXPECT_EQ(v1->refs, 1);
    auto* v2 = new FakeViewContainer(true);
    {
        AAX_VViewContainer c(v2);
        EXPECT_EQ(c.HandleMultipleParametersMouseDown(nullptr, 0, 0), 8);
    }
    EXPECT_EQ(v2->refs, 1);
    v1->Release();
    v2->Release();
    EXPECT_EQ(gLiveFakes, 0);
    AAX_CAutoreleasePool pool;  // nothing to hold on this platform; it must simply exist
}

// ---------------------------------------------------------------------------------------------
// Editor object base

namespace {

// The host object an editor is initialised with: it answers the data model's interface.
class FakeGuiHost : public IACFUnknown, public Fake {
public:
    explicit FakeGuiHost(AAX_IACFEffectParameters* model) : mModel(model) {}
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (iid == IID_IAAXEffectParametersV1 && mModel != nullptr) return mModel->QueryInterface(iid, out);
        return Answer(this, iid, out, {IID_IACFUnknown});
    }
    FAKE_UNKNOWN

private:
    AAX_IACFEffectParameters* mModel;
};

// An editor that records the hooks the base calls.
class RecordingGui : public AAX_CEffectGUI {
public:
    std::vector<std::string> events;
    AAX_Result ParameterUpdated(AAX_CParamID id) override {
        events.push_back(std::string("updated ") + id);
        return 0;
    }

protected:
    void CreateViewContents() override { events.push_back("contents"); }
    void CreateViewContainer() override {
        events.push_back("create view in type " + std::to_string(GetViewContainerType()));
    }
    void DeleteViewContainer() override {
        events.push_back(std::string("delete view, container ") + (GetViewContainer() ? "set" : "clear"));
    }
};

// A data model with the effect's nine parameters, initialised without host interfaces.
AAX_IACFEffectParameters* MakeDataModel(FakeGuiHost** hostOut) {
    AAX_IEffectParameters* made = Tandrel_Parameters::Create();
    AAX_IACFEffectParameters* model = nullptr;
    EXPECT_EQ(made->QueryInterface(IID_IAAXEffectParametersV1, reinterpret_cast<void**>(&model)), 0);
    *hostOut = new FakeGuiHost(nullptr);
    EXPECT_EQ(model->Initialize(*hostOut), 0);
    return model;
}

const std::vector<std::string> kNineUpdates = {
    "updated MasterBypassID", "updated InGain", "updated FreqW", "updated Width", "updated FreqA",
    "updated Action",         "updated Dyn",    "updated Adj",   "updated OutGain"};

}  // namespace

TEST(EditorBase, InitializeWithoutAHostIsRefused) {
    const int32_t live = CACFUnknown::GetActiveObjectCount();
    auto* gui = new RecordingGui();
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), live + 1);
    gui->AddRef();
    EXPECT_EQ(gui->Initialize(nullptr), -20011);
    EXPECT_NE(gui->GetController(), nullptr);
    EXPECT_EQ(gui->GetEffectParameters(), nullptr);
    EXPECT_EQ(gui->GetTransport(), nullptr);
    EXPECT_TRUE(gui->events.empty());  // no view contents without a host
    EXPECT_EQ(gui->Release(), 0u);
    EXPECT_EQ(CACFUnknown::GetActiveObjectCount(), live);
}

// The editor's hooks may throw (a failed allocation while building views): the operation the host
// called answers 0x8000FFFF instead of letting the exception cross into the host.
TEST(EditorBase, AnExceptionFromAHookBecomesTheUnexpectedResult) {
    struct ThrowingGui : RecordingGui {
    protected:
        void CreateViewContents() override { throw std::bad_alloc(); }
        void CreateViewContainer() override { throw std::runtime_error("no view"); }
    };
    auto* host = new FakeGuiHost(nullptr);
    auto* gui = new ThrowingGui();
    gui->AddRef();
    EXPECT_EQ(gui->Initialize(host), ACF_E_UNEXPECTED);
    int native = 0;
    auto* container = new FakeViewContainer(false, &native);
    EXPECT_EQ(gui->SetViewContainer(container), ACF_E_UNEXPECTED);
    EXPECT_EQ(gui->Uninitialize(), 0);
    EXPECT_EQ(gui->Release(), 0u);
    container->Release();
    host->Release();
}

TEST(EditorBase, AnswersItsInterfaceAndNothingElse) {
    AAX_IEffectGUI* made = new RecordingGui();
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(made->QueryInterface(IID_IAAXEffectParametersV1, &out), ACF_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    AAX_IACFEffectGUI* gui = nullptr;
    ASSERT_EQ(made->QueryInterface(IID_IAAXEffectGUIV1, reinterpret_cast<void**>(&gui)), 0);
    EXPECT_EQ(gui, static_cast<AAX_IACFEffectGUI*>(made));
    IACFUnknown* unknown = nullptr;
    ASSERT_EQ(gui->QueryInterface(IID_IACFUnknown, reinterpret_cast<void**>(&unknown)), 0);
    EXPECT_EQ(unknown->Release(), 1u);
    AAX_IString* label = nullptr;
    EXPECT_EQ(gui->GetCustomLabel(0, label), -20004);
    EXPECT_EQ(gui->NotificationReceived(0, nullptr, 0), 0);
    EXPECT_EQ(gui->TimerWakeup(), 0);
    EXPECT_EQ(gui->SetControlHighlightInfo("a", 1, 0), 0);
    AAX_Rect rect{0, 0, 10, 10};
    EXPECT_EQ(gui->Draw(&rect), 0);
    EXPECT_EQ(gui->Release(), 0u);
}

TEST(EditorBase, ContainersBuildViewsAndReportEveryParameterInIndexOrder) {
    FakeGuiHost* modelHost = nullptr;
    AAX_IACFEffectParameters* model = MakeDataModel(&modelHost);
    auto* host = new FakeGuiHost(model);
    auto* gui = new RecordingGui();
    gui->AddRef();
    ASSERT_EQ(gui->Initialize(host), 0);
    EXPECT_EQ(gui->GetEffectParameters(), model);
    EXPECT_NE(gui->GetTransport(), nullptr);
    EXPECT_EQ(gui->events, std::vector<std::string>{"contents"});
    gui->events.clear();

    int native = 0;
    auto* first = new FakeViewContainer(false, &native);
    ASSERT_EQ(gui->SetViewContainer(first), 0);
    EXPECT_EQ(gui->GetViewContainerType(), 1);
    EXPECT_EQ(gui->GetViewContainerPtr(), &native);
    std::vector<std::string> expected = {"create view in type 1"};
    expected.insert(expected.end(), kNineUpdates.begin(), kNineUpdates.end());
    EXPECT_EQ(gui->events, expected);
    EXPECT_EQ(first->refs, 2);
    gui->events.clear();

    // A new container: the old view goes, then the old container is released, then the new view.
    auto* second = new FakeViewContainer(true);
    ASSERT_EQ(gui->SetViewContainer(second), 0);
    EXPECT_EQ(first->refs, 1);
    EXPECT_EQ(second->refs, 3);  // version 1 and version 2 held
    ASSERT_GE(gui->events.size(), 2u);
    EXPECT_EQ(gui->events[0], "delete view, container clear");
    EXPECT_EQ(gui->events[1], "create view in type 1");
    gui->events.clear();

    // Null: the container is cleared before the view is deleted, and released after.
    ASSERT_EQ(gui->SetViewContainer(nullptr), 0);
    EXPECT_EQ(gui->events, std::vector<std::string>{"delete view, container clear"});
    EXPECT_EQ(second->refs, 1);
    EXPECT_EQ(gui->GetViewContainerType(), 0);
    EXPECT_EQ(gui->GetViewContainerPtr(), nullptr);

    // Uninitialize drops the data model's reference and the wrappers; the object stays usable.
    ASSERT_EQ(gui->SetViewContainer(first), 0);
    ASSERT_EQ(gui->Uninitialize(), 0);
    EXPECT_EQ(first->refs, 1);
    EXPECT_EQ(gui->GetEffectParameters(), nullptr);
    EXPECT_EQ(gui->GetController(), nullptr);
    EXPECT_EQ(host->refs, 1);

    // Initialise twice, close with a container still set: destruction releases it all.
    ASSERT_EQ(gui->Initialize(host), 0);
    ASSERT_EQ(gui->Initialize(host), 0);
    ASSERT_EQ(gui->SetViewContainer(second), 0);
    EXPECT_EQ(gui->Release(), 0u);
    EXPECT_EQ(second->refs, 1);
    EXPECT_EQ(host->refs, 1);

    first->Release();
    second->Release();
    host->Release();
    model->Uninitialize();
    EXPECT_EQ(model->Release(), 0u);
    modelHost->Release();
    EXPECT_EQ(gLiveFakes, 0);
}
