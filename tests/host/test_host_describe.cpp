// The effect's description in-process, against description objects that log every call: the exact
// order of the calls and their arguments, and what happens when an object cannot be made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AAX_ICollection.h"
#include "AAX_IComponentDescriptor.h"
#include "AAX_IEffectDescriptor.h"
#include "AAX_IPropertyMap.h"
#include "Tandrel_Alg.h"
#include "Tandrel_Describe.h"
#include "Tandrel_GUI.h"
#include "Tandrel_Parameters.h"

namespace {

std::vector<std::string> gLog;

void Log(const std::string& s) { gLog.push_back(s); }
std::string N(long long v) { return std::to_string(v); }

class LogMap : public AAX_IPropertyMap {
public:
    explicit LogMap(std::string name) : mName(std::move(name)) {}
    AAX_CBoolean GetProperty(AAX_EProperty, AAX_CPropertyValue*) const override { return 0; }
    AAX_Result AddProperty(AAX_EProperty p, AAX_CPropertyValue v) override {
        Log(mName + ".AddProperty " + N(p) + "=" + N(v));
        return 0;
    }
    AAX_Result RemoveProperty(AAX_EProperty) override { return 0; }
    AAX_CBoolean GetPointerProperty(AAX_EProperty, const void**) const override { return 0; }
    AAX_Result AddPointerProperty(AAX_EProperty, const void*) override { return 0; }
    IACFUnknown* GetIUnknown() const override { return nullptr; }
    const std::string& Name() const { return mName; }

private:
    std::string mName;
};

std::string NameOf(AAX_IPropertyMap* p) { return p ? static_cast<LogMap*>(p)->Name() : "null"; }

// Which factories answer null.
struct Refusals {
    bool effect = false, component = false, componentMap = false, effectMap = false;
};
Refusals gRefuse;

std::string ProcName(AAX_CProcessProc p) {
    using Generic = void (*)();
    if (reinterpret_cast<Generic>(p) == reinterpret_cast<Generic>(&Tandrel_AlgorithmProcessFunction<2, 2>)) {
        return "process<2,2>";
    }
    if (reinterpret_cast<Generic>(p) == reinterpret_cast<Generic>(&Tandrel_AlgorithmProcessFunction<1, 1>)) {
        return "process<1,1>";
    }
    return "unknown process";
}

class LogComponent : public AAX_IComponentDescriptor {
public:
    std::vector<std::unique_ptr<LogMap>> maps;
    AAX_Result Clear() override { return L("Clear"); }
    AAX_Result AddReservedField(AAX_CFieldIndex f, uint32_t t) override { return L("AddReservedField " + N(f) + "," + N(t)); }
    AAX_Result AddAudioIn(AAX_CFieldIndex f) override { return L("AddAudioIn " + N(f)); }
    AAX_Result AddAudioOut(AAX_CFieldIndex f) override { return L("AddAudioOut " + N(f)); }
    AAX_Result AddAudioBufferLength(AAX_CFieldIndex f) override { return L("AddAudioBufferLength " + N(f)); }
    AAX_Result AddSampleRate(AAX_CFieldIndex f) override { return L("AddSampleRate " + N(f)); }
    AAX_Result AddClock(AAX_CFieldIndex f) override { return L("AddClock " + N(f)); }
    AAX_Result AddSideChainIn(AAX_CFieldIndex f) override { return L("AddSideChainIn " + N(f)); }
    AAX_Result AddDataInPort(AAX_CFieldIndex f, uint32_t size, int32_t type) override {
        return L("AddDataInPort " + N(f) + "," + N(size) + "," + N(type));
    }
    AAX_Result AddPrivateData(AAX_CFieldIndex f, int32_t size, int32_t options) override {
        return L("AddPrivateData " + N(f) + "," + N(size) + "," + N(options));
    }
    AAX_Result AddMeters(AAX_CFieldIndex f, const AAX_CTypeID* ids, uint32_t n) override {
        return L("AddMeters " + N(f) + "," + N(ids ? ids[0] : 0) + "," + N(n));
    }
    AAX_IPropertyMap* NewPropertyMap() override {
        if (gRefuse.componentMap) return L("NewPropertyMap -> null"), nullptr;
        maps.emplace_back(new LogMap("P" + N(long(maps.size()) + 1)));
        L("NewPropertyMap -> " + maps.back()->Name());
        return maps.back().get();
    }
    AAX_Result AddProcessProc_Native(AAX_CProcessProc proc, AAX_IPropertyMap* props, AAX_CInstanceInitProc init,
                                     AAX_CBackgroundProc background, AAX_CTypeID* outID) override {
        return L("AddProcessProc_Native " + ProcName(proc) + "," + NameOf(props) + "," + (init ? "init" : "-") + "," +
                 (background ? "bg" : "-") + "," + (outID ? "id" : "-"));
    }
    AAX_Result AddProcessProc_TI(const char* file, const char* entry, AAX_IPropertyMap* props, const char* init,
                                 const char* background, AAX_CTypeID* outID) override {
        return L(std::string("AddProcessProc_TI ") + file + "," + entry + "," + NameOf(props) + "," +
                 (init ? init : "-") + "," + (background ? background : "-") + "," + (outID ? "id" : "-"));
    }
    AAX_Result AddTemporaryData(AAX_CFieldIndex, uint32_t) override { return L("AddTemporaryData"); }
    IACFUnknown* GetIUnknown() const override { return nullptr; }

private:
    AAX_Result L(const std::string& s) {
        Log("C." + s);
        return 0;
    }
};

class LogEffect : public AAX_IEffectDescriptor {
public:
    LogComponent component;
    std::unique_ptr<LogMap> meterMap;
    AAX_IComponentDescriptor* NewComponentDescriptor() override {
        if (gRefuse.component) return L("NewComponentDescriptor -> null"), nullptr;
        L("NewComponentDescriptor");
        return &component;
    }
    AAX_Result AddComponent(AAX_IComponentDescriptor* c) override {
        return L(std::string("AddComponent ") + (c == &component ? "C" : "?"));
    }
    AAX_Result AddName(const char* name) override { return L(std::string("AddName ") + name); }
    AAX_Result AddCategory(uint32_t c) override { return L("AddCategory " + N(c)); }
    AAX_Result AddCategoryBypassParameter(uint32_t, AAX_CParamID) override { return L("AddCategoryBypassParameter"); }
    AAX_Result AddProcPtr(void* proc, AAX_CProcPtrID id) override {
        std::string what = "?";
        if (proc == reinterpret_cast<void*>(&Tandrel_Parameters::Create)) what = "Tandrel_Parameters::Create";
        if (proc == reinterpret_cast<void*>(&Tandrel_GUI::Create)) what = "Tandrel_GUI::Create";
        return L("AddProcPtr " + what + "," + N(id));
    }
    AAX_IPropertyMap* NewPropertyMap() override {
        if (gRefuse.effectMap) return L("NewPropertyMap -> null"), nullptr;
        meterMap.reset(new LogMap("M"));
        L("NewPropertyMap -> M");
        return meterMap.get();
    }
    AAX_Result SetProperties(AAX_IPropertyMap*) override { return L("SetProperties"); }
    AAX_Result AddResourceInfo(AAX_EResourceType type, const char* info) override {
        return L("AddResourceInfo " + N(type) + "," + info);
    }
    AAX_Result AddMeterDescription(AAX_CTypeID id, const char* name, AAX_IPropertyMap* props) override {
        return L("AddMeterDescription " + N(id) + "," + name + "," + NameOf(props));
    }
    AAX_Result AddControlMIDINode(AAX_CTypeID, int32_t, const char*, uint32_t) override { return L("MIDI"); }
    IACFUnknown* GetIUnknown() const override { return nullptr; }

private:
    AAX_Result L(const std::string& s) {
        Log("E." + s);
        return 0;
    }
};

class LogCollection : public AAX_ICollection {
public:
    LogEffect effect;
    AAX_Result addEffectResult = 0;
    AAX_IEffectDescriptor* NewDescriptor() override {
        if (gRefuse.effect) return L("NewDescriptor -> null"), nullptr;
        L("NewDescriptor");
        return &effect;
    }
    AAX_Result AddEffect(const char* id, AAX_IEffectDescriptor* e) override {
        L(std::string("AddEffect ") + id + "," + (e == &effect ? "E" : "?"));
        return addEffectResult;
    }
    AAX_Result SetManufacturerName(const char* n) override { return L(std::string("SetManufacturerName ") + n); }
    AAX_Result AddPackageName(const char* n) override { return L(std::string("AddPackageName ") + n); }
    AAX_Result SetPackageVersion(uint32_t v) override { return L("SetPackageVersion " + N(v)); }
    AAX_IPropertyMap* NewPropertyMap() override { return L("NewPropertyMap"), nullptr; }
    AAX_Result SetProperties(AAX_IPropertyMap*) override { return L("SetProperties"); }

private:
    AAX_Result L(const std::string& s) {
        Log("K." + s);
        return 0;
    }
};

const std::vector<std::string> kPackage = {"K.SetManufacturerName Halvik", "K.AddPackageName Marovex Plug-In",
                                           "K.AddPackageName Mrv", "K.AddPackageName Mrv", "K.SetPackageVersion 1"};

std::vector<std::string> Fields() {
    std::vector<std::string> f = {"C.AddAudioIn 9", "C.AddAudioOut 10", "C.AddAudioBufferLength 11",
                                  "C.AddSampleRate 12", "C.AddMeters 13," + N(0x6D475231) + ",1"};
    for (int i = 0; i <= 8; ++i) f.push_back("C.AddDataInPort " + N(i) + ",4,1");
    f.push_back("C.AddDataInPort 14,24,1");
    f.push_back("C.AddDataInPort 15,24,1");
    f.push_back("C.AddPrivateData 16,840,0");
    return f;
}

// One component as described for a layout; `map` names the property map it gets.
std::vector<std::string> Component(bool stereo, const std::string& map) {
    std::vector<std::string> c = Fields();
    const std::string stem = stereo ? N(0x10002) : "1";
    const std::string p = map + ".AddProperty ";
    for (const std::string& s :
         {"C.NewPropertyMap -> " + map, p + "11=" + N(0x486C766B), p + "12=" + N(0x4D727678), p + "60=1",
          p + "51=" + stem, p + "52=" + stem, p + "56=0", p + "13=" + N(stereo ? 0x4D765373 : 0x4D76536D),
          p + "14=" + N(0x4D764153), p + "15=" + N(stereo ? 0x4D765473 : 0x4D76546D),
          p + "63=" + (stereo ? "7329" : "7177"), p + "62=" + (stereo ? "631" : "587"),
          "C.AddProcessProc_Native " + std::string(stereo ? "process<2,2>" : "process<1,1>") + "," + map + ",-,-,-",
          p + "54=2",
          std::string("C.AddProcessProc_TI ") + (stereo ? "Marovex_SS_TI.dll" : "Marovex_MM_TI.dll") +
              ",AlgEntry," + map + ",-,-,-"}) {
        c.push_back(s);
    }
    return c;
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

class Describe : public ::testing::Test {
protected:
    void SetUp() override {
        gLog.clear();
        gRefuse = Refusals();
    }
};

}  // namespace

TEST_F(Describe, MakesEveryCallInItsOrder) {
    LogCollection collection;
    collection.addEffectResult = 77;  // whatever AddEffect answers is the result
    EXPECT_EQ(GetEffectDescriptions(&collection), 77);
    const std::vector<std::string> expected = Concat({
        {"K.NewDescriptor", "E.NewComponentDescriptor", "E.AddName Marovex", "E.AddName Mrv", "E.AddName Mrv",
         "E.AddName Mv", "E.AddCategory 2", "C.Clear"},
        Component(true, "P1"),
        {"E.AddComponent C", "C.Clear"},
        Component(false, "P2"),
        {"E.AddComponent C", "E.AddProcPtr Tandrel_Parameters::Create,0", "E.AddResourceInfo 1,Marovex.xml",
         "E.AddProcPtr Tandrel_GUI::Create,1", "E.NewPropertyMap -> M", "M.AddProperty 200=2",
         "M.AddProperty 201=1", "M.AddProperty 202=1", "E.AddMeterDescription " + N(0x6D475231) + ",GR1,M",
         "K.AddEffect Mrv,E"},
        kPackage,
    });
    EXPECT_EQ(gLog, expected);
}

TEST_F(Describe, WithoutAnEffectDescriptorOnlyThePackageIsSet) {
    gRefuse.effect = true;
    LogCollection collection;
    EXPECT_EQ(GetEffectDescriptions(&collection), -20004);
    EXPECT_EQ(gLog, Concat({{"K.NewDescriptor -> null"}, kPackage}));
}

TEST_F(Describe, WithoutAComponentDescriptorOnlyThePackageIsSet) {
    gRefuse.component = true;
    LogCollection collection;
    EXPECT_EQ(GetEffectDescriptions(&collection), -20004);
    EXPECT_EQ(gLog, Concat({{"K.NewDescriptor", "E.NewComponentDescriptor -> null"}, kPackage}));
}

TEST_F(Describe, WithoutTheMeterPropertyMapNoEffectIsAdded) {
    gRefuse.effectMap = true;
    LogCollection collection;
    EXPECT_EQ(GetEffectDescriptions(&collection), -20004);
    ASSERT_GE(gLog.size(), 7u);
    const std::vector<std::string> tail(gLog.end() - 7, gLog.end());
    EXPECT_EQ(tail, Concat({{"E.AddProcPtr Tandrel_GUI::Create,1", "E.NewPropertyMap -> null"}, kPackage}));
}

TEST_F(Describe, WithoutComponentPropertyMapsTheComponentsHaveFieldsOnly) {
    gRefuse.componentMap = true;
    LogCollection collection;
    EXPECT_EQ(GetEffectDescriptions(&collection), 0);
    const std::vector<std::string> fieldsOnly = Concat({Fields(), {"C.NewPropertyMap -> null"}});
    const std::vector<std::string> expectedStart = Concat({
        {"K.NewDescriptor", "E.NewComponentDescriptor", "E.AddName Marovex", "E.AddName Mrv", "E.AddName Mrv",
         "E.AddName Mv", "E.AddCategory 2", "C.Clear"},
        fieldsOnly,
        {"E.AddComponent C", "C.Clear"},
        fieldsOnly,
        {"E.AddComponent C"},
    });
    ASSERT_GE(gLog.size(), expectedStart.size());
    EXPECT_EQ(std::vector<std::string>(gLog.begin(), gLog.begin() + long(expectedStart.size())), expectedStart);
}

TEST_F(Describe, OtherStemFormatsGetFieldsAndTheCommonPropertiesOnly) {
    LogComponent component;
    DescribeAlgorithmComponent(static_cast<AAX_EStemFormat>(0x20003), &component);
    std::vector<std::string> expected = Fields();
    const std::string p = "P1.AddProperty ";
    for (const std::string& s : {std::string("C.NewPropertyMap -> P1"), p + "11=" + N(0x486C766B),
                                 p + "12=" + N(0x4D727678), p + "60=1", p + "51=" + N(0x20003),
                                 p + "52=" + N(0x20003), p + "56=0"}) {
        expected.push_back(s);
    }
    EXPECT_EQ(gLog, expected);
}

TEST_F(Describe, WithoutACollectionNothingHappens) {
    EXPECT_EQ(GetEffectDescriptions(nullptr), -20004);
    EXPECT_TRUE(gLog.empty());
}
