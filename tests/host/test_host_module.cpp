// Loading the built module: its exports, the description it registers, the failure paths of
// registration, the live-object count and start-up.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "AAX_UIDs.h"
#include "MarovexHost.h"

namespace {

const char* const kModulePath = MAROVEX_MODULE_PATH;

std::shared_ptr<MarovexModule> LoadModule(const MarovexLoadOptions& options = {}) {
    std::string error;
    std::shared_ptr<MarovexModule> m = MarovexModule::Load(kModulePath, &error, options);
    EXPECT_NE(m, nullptr) << error;
    return m;
}

// The names of the defined, globally visible symbols in the module's dynamic symbol table, read
// straight from the ELF file.
std::set<std::string> ExportedSymbols(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (bytes.size() < sizeof(Elf64_Ehdr)) return names;
    Elf64_Ehdr eh;
    std::memcpy(&eh, bytes.data(), sizeof eh);
    if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) return names;
    auto section = [&](size_t i) {
        Elf64_Shdr sh;
        std::memcpy(&sh, bytes.data() + eh.e_shoff + i * eh.e_shentsize, sizeof sh);
        return sh;
    };
    for (size_t i = 0; i < eh.e_shnum; ++i) {
        const Elf64_Shdr sh = section(i);
        if (sh.sh_type != SHT_DYNSYM) continue;
        const Elf64_Shdr strtab = section(sh.sh_link);
        for (size_t s = 1; s < sh.sh_size / sizeof(Elf64_Sym); ++s) {
            Elf64_Sym sym;
            std::memcpy(&sym, bytes.data() + sh.sh_offset + s * sizeof sym, sizeof sym);
            const unsigned bind = ELF64_ST_BIND(sym.st_info);
            if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
            names.insert(bytes.data() + strtab.sh_offset + sym.st_name);
        }
    }
    return names;
}

using Props = std::vector<std::pair<uint32_t, int32_t>>;

Props PropsOf(const MarovexPropertyMap& map) {
    Props p;
    for (const auto& e : map.properties) p.emplace_back(e.id, e.value);
    return p;
}

// The fields both components declare, in declaration order.
void ExpectDeclaredFields(const MarovexComponentDescription& c) {
    struct Expected {
        int32_t index;
        MarovexFieldKind kind;
        uint32_t size;
        int32_t option;
    };
    std::vector<Expected> expected = {
        {9, MarovexFieldKind::AudioIn, 0, 0},      {10, MarovexFieldKind::AudioOut, 0, 0},
        {11, MarovexFieldKind::BufferLength, 0, 0}, {12, MarovexFieldKind::SampleRate, 0, 0},
        {13, MarovexFieldKind::Meters, 1, 0}};
    for (int32_t i = 0; i <= 8; ++i) expected.push_back({i, MarovexFieldKind::DataInPort, 4, 1});
    expected.push_back({14, MarovexFieldKind::DataInPort, 24, 1});
    expected.push_back({15, MarovexFieldKind::DataInPort, 24, 1});
    expected.push_back({16, MarovexFieldKind::PrivateData, 840, 0});
    ASSERT_EQ(c.fields.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("field declaration " + std::to_string(i));
        EXPECT_EQ(c.fields[i].index, expected[i].index);
        EXPECT_EQ(c.fields[i].kind, expected[i].kind);
        EXPECT_EQ(c.fields[i].size, expected[i].size);
        EXPECT_EQ(c.fields[i].option, expected[i].option);
    }
    EXPECT_EQ(c.fields[4].meterIDs, std::vector<AAX_CTypeID>{0x6D475231u});  // 'mGR1'
}

struct Layout {
    int32_t stem;
    uint32_t nativeType, dspType;
    int32_t cost63, cost62;
    const char* dspFile;
};

void ExpectComponent(const MarovexComponentDescription& c, const Layout& l) {
    ExpectDeclaredFields(c);
    const Props common = {{11, int32_t(0x486C766B)}, {12, int32_t(0x4D727678)}, {60, 1}, {51, l.stem},
                          {52, l.stem},              {56, 0},
                          {13, int32_t(l.nativeType)}, {14, int32_t(0x4D764153)}, {15, int32_t(l.dspType)},
                          {63, l.cost63},            {62, l.cost62}};
    ASSERT_EQ(c.nativeProcesses.size(), 1u);
    EXPECT_NE(c.nativeProcesses[0].proc, nullptr);
    EXPECT_EQ(c.nativeProcesses[0].instanceInit, nullptr);
    EXPECT_EQ(c.nativeProcesses[0].background, nullptr);
    // The native procedure is registered before property 54 is added; the DSP module after.
    EXPECT_EQ(PropsOf(c.nativeProcesses[0].properties), common);
    ASSERT_EQ(c.dspProcesses.size(), 1u);
    Props withDsp = common;
    withDsp.emplace_back(54, 2);
    EXPECT_EQ(PropsOf(c.dspProcesses[0].properties), withDsp);
    EXPECT_EQ(c.dspProcesses[0].file, l.dspFile);
    EXPECT_EQ(c.dspProcesses[0].entrySymbol, "AlgEntry");
    EXPECT_EQ(c.dspProcesses[0].instanceInitSymbol, "");
    EXPECT_EQ(c.dspProcesses[0].backgroundSymbol, "");
    EXPECT_EQ(c.StemFormat(), l.stem);
}

void ExpectPackageInformation(const MarovexModuleDescription& d) {
    EXPECT_EQ(d.manufacturerName, "Halvik");
    EXPECT_EQ(d.packageNames, (std::vector<std::string>{"Marovex Plug-In", "Mrv", "Mrv"}));
    EXPECT_TRUE(d.packageVersionSet);
    EXPECT_EQ(d.packageVersion, 1u);
}

// A host whose component factory throws: the module must turn that into 0x8000FFFF.
class ThrowingHost final : public IACFComponentFactory {
public:
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (iid == IID_IACFUnknown || iid == IID_IACFComponentFactory) {
            *out = this;
            return ACF_OK;
        }
        *out = nullptr;
        return ACF_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    ACFRESULT CreateComponent(const acfCLSID&, IACFUnknown*, const acfIID&, void**) override {
        throw std::runtime_error("this host throws");
    }
};

}  // namespace

TEST(ModuleExports, AreExactlyTheSevenEntryPoints) {
    EXPECT_EQ(ExportedSymbols(kModulePath),
              (std::set<std::string>{"ACFRegisterPlugin", "ACFRegisterComponent", "ACFGetClassFactory",
                                     "ACFCanUnloadNow", "ACFStartup", "ACFShutdown", "ACFGetSDKVersion"}));
}

TEST(ModuleExports, AnswerTheirFixedResults) {
    auto m = LoadModule();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->SDKVersion(), 0x00000202009816E6ull);

    auto* componentOut = reinterpret_cast<IACFComponentDefinition*>(0x1000);
    EXPECT_EQ(m->Entries().registerComponent(m->HostUnknown(), 0, &componentOut), 0);
    EXPECT_EQ(componentOut, nullptr);

    void* factoryOut = reinterpret_cast<void*>(0x1000);
    EXPECT_EQ(m->Entries().getClassFactory(m->HostUnknown(), IID_IACFUnknown, IID_IACFUnknown, &factoryOut), -20009);
    EXPECT_EQ(factoryOut, nullptr);

    // Nowhere to write an answer: a missing object, never a crash.
    EXPECT_EQ(m->Entries().registerComponent(m->HostUnknown(), 0, nullptr), -20004);
    EXPECT_EQ(m->Entries().getClassFactory(m->HostUnknown(), IID_IACFUnknown, IID_IACFUnknown, nullptr), -20004);
    EXPECT_EQ(m->Entries().getSDKVersion(nullptr), -20004);
    EXPECT_EQ(m->LiveObjectCount(), 0);
}

TEST(ModuleDescription, RecordsTheEffectItsNamesFactoriesResourceAndMeter) {
    auto m = LoadModule();
    ASSERT_NE(m, nullptr);
    const MarovexModuleDescription& d = m->Description();
    ExpectPackageInformation(d);
    ASSERT_EQ(d.effects.size(), 1u);
    const MarovexEffectDescription& e = d.effects[0];
    EXPECT_EQ(e.effectID, "Mrv");
    EXPECT_EQ(e.names, (std::vector<std::string>{"Marovex", "Mrv", "Mrv", "Mv"}));
    EXPECT_EQ(e.categories, std::vector<uint32_t>{2});
    ASSERT_EQ(e.procPtrs.size(), 2u);
    EXPECT_EQ(e.procPtrs[0].id, 0);
    EXPECT_EQ(e.procPtrs[1].id, 1);
    EXPECT_NE(e.procPtrs[0].proc, nullptr);
    EXPECT_NE(e.procPtrs[1].proc, nullptr);
    EXPECT_NE(e.procPtrs[0].proc, e.procPtrs[1].proc);
    ASSERT_EQ(e.resources.size(), 1u);
    EXPECT_EQ(e.resources[0].type, AAX_eResourceType_PageTable);
    EXPECT_EQ(e.resources[0].info, "Marovex.xml");
    ASSERT_EQ(e.meters.size(), 1u);
    EXPECT_EQ(e.meters[0].id, 0x6D475231u);
    EXPECT_EQ(e.meters[0].name, "GR1");
    EXPECT_EQ(PropsOf(e.meters[0].properties), (Props{{200, 2}, {201, 1}, {202, 1}}));
}

TEST(ModuleDescription, RecordsTheStereoAndTheMonoComponentFieldByField) {
    auto m = LoadModule();
    ASSERT_NE(m, nullptr);
    const MarovexEffectDescription* e = m->Effect();
    ASSERT_NE(e, nullptr);
    ASSERT_EQ(e->components.size(), 2u);
    {
        SCOPED_TRACE("stereo");
        ExpectComponent(e->components[0],
                        {0x10002, 0x4D765373u, 0x4D765473u, 7329, 631, "Marovex_SS_TI.dll"});  // MvSs MvTs
    }
    {
        SCOPED_TRACE("mono");
        ExpectComponent(e->components[1], {1, 0x4D76536Du, 0x4D76546Du, 7177, 587, "Marovex_MM_TI.dll"});  // MvSm MvTm
    }
    EXPECT_NE(e->components[0].nativeProcesses[0].proc, e->components[1].nativeProcesses[0].proc);
    EXPECT_EQ(e->FindComponent(0x10002), &e->components[0]);
    EXPECT_EQ(e->FindComponent(1), &e->components[1]);
    EXPECT_EQ(e->FindComponent(2), nullptr);
}

// A host whose factory cannot make one kind of description object: no effect, result -20004, and
// the package information is still set.
class RefusingHost : public ::testing::TestWithParam<int> {};

TEST_P(RefusingHost, FailsWithoutAnEffectButWithPackageInformation) {
    MarovexLoadOptions options;
    options.refuseEffectDescriptors = GetParam() == 0;
    options.refuseComponentDescriptors = GetParam() == 1;
    options.refusePropertyMaps = GetParam() == 2;
    std::string error;
    auto m = MarovexModule::Open(kModulePath, &error, options);
    ASSERT_NE(m, nullptr) << error;

    // Straight through the entry point: the output stays as it was.
    auto* sentinel = reinterpret_cast<IACFPluginDefinition*>(0x5EED);
    IACFPluginDefinition* out = sentinel;
    EXPECT_EQ(m->Entries().registerPlugin(m->HostUnknown(), &out), -20004);
    EXPECT_EQ(out, sentinel);
    const MarovexModuleDescription raw = m->LastCollection();
    EXPECT_TRUE(raw.effects.empty());
    ExpectPackageInformation(raw);

    // And through the host library.
    AAX_Result result = 0;
    EXPECT_FALSE(m->Register(&error, &result));
    EXPECT_EQ(result, -20004);
    EXPECT_NE(error.find("-20004"), std::string::npos) << error;
    EXPECT_TRUE(m->Description().effects.empty());
    ExpectPackageInformation(m->Description());
    EXPECT_EQ(m->LiveObjectCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(EachDescriptionObject, RefusingHost, ::testing::Values(0, 1, 2));

TEST(ModuleRegistration, WithoutAHostCollectionYieldsNoDefinition) {
    MarovexLoadOptions options;
    options.refuseCollections = true;
    std::string error;
    auto m = MarovexModule::Open(kModulePath, &error, options);
    ASSERT_NE(m, nullptr) << error;
    auto* sentinel = reinterpret_cast<IACFPluginDefinition*>(0x5EED);
    IACFPluginDefinition* out = sentinel;
    EXPECT_EQ(m->Entries().registerPlugin(m->HostUnknown(), &out), -20004);
    EXPECT_EQ(out, sentinel);
}

TEST(ModuleRegistration, ANullOutputIsRefusedAfterDescribing) {
    std::string error;
    auto m = MarovexModule::Open(kModulePath, &error);
    ASSERT_NE(m, nullptr) << error;
    EXPECT_EQ(m->Entries().registerPlugin(m->HostUnknown(), nullptr), -20004);
    EXPECT_EQ(m->LastCollection().effects.size(), 1u);
}

TEST(ModuleRegistration, AnExceptionFromTheHostBecomesUnexpected) {
    auto m = LoadModule();
    ASSERT_NE(m, nullptr);
    ThrowingHost host;
    auto* sentinel = reinterpret_cast<IACFPluginDefinition*>(0x5EED);
    IACFPluginDefinition* out = sentinel;
    EXPECT_EQ(static_cast<uint32_t>(m->Entries().registerPlugin(&host, &out)), 0x8000FFFFu);
    EXPECT_EQ(out, sentinel);
}

TEST(ModuleRegistration, RegisteringTwiceGivesTwoIndependentDefinitions) {
    auto m = LoadModule();
    ASSERT_NE(m, nullptr);
    IACFPluginDefinition* out = nullptr;
    ASSERT_EQ(m->Entries().registerPlugin(m->HostUnknown(), &out), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(m->LastCollection().effects.size(), 1u);
    EXPECT_EQ(out->Release(), 0u);  // the module kept no reference of its own
}

TEST(ModuleLoading, ReportsAMissingFileOrAModuleWithoutEntryPoints) {
    std::string error;
    EXPECT_EQ(MarovexModule::Load("/nonexistent/Marovex.so", &error), nullptr);
    EXPECT_NE(error.find("cannot load module"), std::string::npos) << error;
    error.clear();
    EXPECT_EQ(MarovexModule::Load("libm.so.6", &error), nullptr);
    EXPECT_NE(error.find("ACFRegisterPlugin"), std::string::npos) << error;
}

TEST(ModuleStartup, ASecondStartupKeepsTheFirstHostServices) {
    auto m = LoadModule();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->HostServicesCreated(), 1);
    EXPECT_EQ(m->Entries().startup(m->HostUnknown()), 0);
    EXPECT_EQ(m->HostServicesCreated(), 1);
    // After a shutdown the next start-up asks for a new one.
    EXPECT_EQ(m->Entries().shutdown(m->HostUnknown()), 0);
    EXPECT_EQ(m->Entries().startup(m->HostUnknown()), 0);
    EXPECT_EQ(m->HostServicesCreated(), 2);
}

// Two loads of one file share the module's process-wide state: it starts up once (with the first
// load's host object) and shuts down with the last unload, so the second load keeps working after
// the first is gone.
TEST(ModuleStartup, TwoLoadsOfOneFileStartOnceAndShutDownWithTheLast) {
    auto first = LoadModule();
    auto second = LoadModule();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->HostServicesCreated(), 1);
    EXPECT_EQ(second->HostUnknown(), first->HostUnknown());
    first.reset();
    EXPECT_EQ(second->Entries().startup(second->HostUnknown()), 0);
    EXPECT_EQ(second->HostServicesCreated(), 1);  // still started: no new host services
    std::string error;
    auto instance = MarovexInstance::Create(second, AAX_eStemFormat_Stereo, 48000.0f, 64, &error);
    ASSERT_NE(instance, nullptr) << error;
    EXPECT_EQ(second->LiveObjectCount(), 1);
}

TEST(ModuleLiveObjects, CountDataModelsAndEditorsWhileTheyLive) {
    auto m = LoadModule();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->LiveObjectCount(), 0);
    std::string error;
    auto instance = MarovexInstance::Create(m, AAX_eStemFormat_Stereo, 48000.0f, 64, &error);
    ASSERT_NE(instance, nullptr) << error;
    const int32_t withModel = m->LiveObjectCount();
    EXPECT_EQ(withModel, 1);
    {
        auto gui = instance->CreateGui(&error);
        ASSERT_NE(gui, nullptr) << error;
        EXPECT_EQ(gui->InitializeResult(), 0);
        EXPECT_EQ(m->LiveObjectCount(), withModel + 1);
    }
    EXPECT_EQ(m->LiveObjectCount(), withModel);
    auto second = MarovexInstance::Create(m, AAX_eStemFormat_Mono, 44100.0f, 64, &error);
    ASSERT_NE(second, nullptr) << error;
    EXPECT_EQ(m->LiveObjectCount(), 2 * withModel);
    second.reset();
    instance.reset();
    EXPECT_EQ(m->LiveObjectCount(), 0);
}
