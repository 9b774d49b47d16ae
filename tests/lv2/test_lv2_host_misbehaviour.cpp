// A host that misbehaves as real ones do: it loads MarovexLv2.so (and MarovexLv2UI.so) with dlopen
// and calls the entry points with what hosts have been seen to pass: broken feature arrays, unusable
// sample rates, calls out of order, unconnected ports, null callbacks and URIs, states that are not
// ours. Nothing may crash, and the next valid call must work: after each group an instance renders
// bit for bit what a well-fed one renders. Also: the state saved at once after a port change holds
// that change, as the chunk `marovex process --set ... --save-state` writes.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "MarovexHost.h"
#include "lv2/Lv2Ports.h"
#include "tests/TestFiles.h"
#include "tests/lv2/lv2_urid_map.h"
#include "tests/toolkit/xvfb_server.h"

// Last: its macros (None, Status ...) clash with names in the headers above.
#include <X11/Xlib.h>

using namespace marovex_lv2;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t kFrames = 256;

const LV2_Descriptor* Descriptor(uint32_t index) {
    static void* library = dlopen(MAROVEX_LV2_BUNDLE "/MarovexLv2.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    return entry != nullptr ? entry(index) : nullptr;
}

using lv2test::UridMap;

// A worker that keeps the messages and never makes them itself: their edits stay in flight.
struct HeldWorker {
    std::vector<std::vector<uint8_t>> messages;
    LV2_Worker_Schedule schedule{this, &HeldWorker::Schedule};
    LV2_Feature feature{LV2_WORKER__schedule, &schedule};
    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle h, uint32_t size, const void* data) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        static_cast<HeldWorker*>(h)->messages.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    }
};

// The ports' defaults: the module's (read from our own bundle's copy through the host library), the
// bypass as the enabled port.
const std::vector<float>& Defaults() {
    static const std::vector<float> defaults = [] {
        std::vector<float> d(kParameterCount, 0.0f);
        std::string error;
        auto module = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
        std::unique_ptr<MarovexInstance> instance;
        if (module) instance = MarovexInstance::Create(module, AAX_eStemFormat_Stereo, 48000.0f, 64, &error);
        MarovexParameterInfo info;
        for (uint32_t i = 0; instance && i < kParameterCount; ++i) {
            if (instance->GetParameterInfo(int32_t(i), &info, &error)) {
                d[i] = i == kEnabledPort ? EnabledFromBypass(info.defaultNormalized) : float(info.defaultNormalized);
            }
        }
        EXPECT_TRUE(instance) << error;
        return d;
    }();
    return defaults;
}

// A state store of one property.
struct Store {
    std::vector<uint8_t> bytes;
    uint32_t key = 0, type = 0;
    static LV2_State_Status Put(LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type,
                                uint32_t) {
        auto* s = static_cast<Store*>(h);
        s->key = key;
        s->type = type;
        s->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
        return LV2_STATE_SUCCESS;
    }
    static const void* Get(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
        static const uint8_t kNone = 0;
        auto* s = static_cast<Store*>(h);
        if (key != s->key) return nullptr;
        *size = s->bytes.size();
        *type = s->type;
        *flags = LV2_STATE_IS_POD;
        return s->bytes.empty() ? &kNone : s->bytes.data();  // an empty value, not a missing one
    }
};

// One instance with every port on buffers of its own, controls at the description's defaults.
struct Instance {
    const LV2_Descriptor* d;
    LV2_Handle h = nullptr;
    float controls[kParameterCount] = {};
    float meter = -1.0f;
    std::vector<float> in[2], out[2];
    explicit Instance(const LV2_Feature* const* features, double rate = 48000.0) : d(Descriptor(0)) {
        std::copy(Defaults().begin(), Defaults().end(), controls);
        if (d == nullptr) return;
        h = d->instantiate(d, rate, MAROVEX_LV2_BUNDLE "/", features);
        for (int c = 0; c < 2; ++c) {
            in[c].resize(kFrames);
            out[c].assign(kFrames, 0.0f);
            for (uint32_t i = 0; i < kFrames; ++i) in[c][i] = float(0.6 * std::sin(0.05 * i * (c + 1)));
        }
        if (h != nullptr) Connect();
    }
    ~Instance() {
        if (h != nullptr) d->cleanup(h);
    }
    void Connect() {
        for (uint32_t i = 0; i < kParameterCount; ++i) d->connect_port(h, i, &controls[i]);
        d->connect_port(h, kMeterPort, &meter);
        for (uint32_t c = 0; c < 2; ++c) {
            d->connect_port(h, kFirstAudioPort + c, in[c].data());
            d->connect_port(h, kFirstAudioPort + 2 + c, out[c].data());
        }
    }
    const LV2_State_Interface* State() const {
        return static_cast<const LV2_State_Interface*>(d->extension_data(LV2_STATE__interface));
    }
    LV2_State_Status Save(Store* s, const LV2_Feature* const* features = nullptr) const {
        return State()->save(h, Store::Put, s, LV2_STATE_IS_POD, features);
    }
    LV2_State_Status Restore(Store* s) const { return State()->restore(h, Store::Get, s, 0, nullptr); }
};

// The next valid calls work: with all ports connected and two settings changed, two runs give bit
// for bit what a fresh instance given no features gives.
void ExpectRendersLikeAFreshOne(Instance& x) {
    ASSERT_NE(x.h, nullptr);
    Instance fresh(nullptr);
    ASSERT_NE(fresh.h, nullptr);
    x.Connect();
    for (Instance* i : {&x, &fresh}) {
        std::copy_n(fresh.controls, kParameterCount, i->controls);
        i->controls[4] = 0.3f;
        i->controls[6] = 0.8f;
        i->d->activate(i->h);
        i->d->run(i->h, kFrames);
        i->controls[3] = 0.25f;
        i->d->run(i->h, kFrames);
    }
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(std::memcmp(x.out[c].data(), fresh.out[c].data(), kFrames * sizeof(float)), 0) << c;
    }
    EXPECT_NE(std::memcmp(x.out[0].data(), x.in[0].data(), kFrames * sizeof(float)), 0);
}

// ---------------------------------------------------------------------------------------------

// Feature arrays as hosts hand them over. Where urid:map can be found the state works; nothing
// else a broken entry holds is used.
TEST(Lv2HostMisbehaviour, BrokenFeatureArraysNeitherCrashNorHideTheGoodEntries) {
    UridMap map;
    // A page that cannot be read, and a URI-looking text that runs into it without its NUL.
    const long page = sysconf(_SC_PAGESIZE);
    auto* pages =
        static_cast<char*>(mmap(nullptr, size_t(2 * page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, size_t(page), PROT_NONE), 0);
    const char prefix[] = "http://lv2plug.in/ns/ext/urid#ma";  // LV2_URID__map less its last letter
    char* runsOff = pages + page - (sizeof prefix - 1);
    std::memcpy(runsOff, prefix, sizeof prefix - 1);
    auto* unreadable = reinterpret_cast<const char*>(uintptr_t(0x41564952));

    void* unreadableData = const_cast<char*>(unreadable);
    LV2_URID_Map noFunction{&map, nullptr};
    LV2_Log_Log noPrintf{nullptr, nullptr, nullptr};
    LV2_Worker_Schedule noSchedule{nullptr, nullptr};
    LV2_Feature nullUri{nullptr, &map.map}, nullData{LV2_URID__map, nullptr}, unmap{LV2_URID__unmap, nullptr};
    LV2_Feature garbage{unreadable, unreadableData}, runningOff{runsOff, &map.map}, unknown{"urn:nobody", &map};
    LV2_Feature mapWithoutFunction{LV2_URID__map, &noFunction}, mapToUnreadable{LV2_URID__map, unreadableData};
    LV2_Feature logWithoutPrintf{LV2_LOG__log, &noPrintf}, workerWithoutSchedule{LV2_WORKER__schedule, &noSchedule};
    auto* unreadableEntry = reinterpret_cast<const LV2_Feature*>(uintptr_t(0x41564952));
    auto* unreadableArray = reinterpret_cast<const LV2_Feature* const*>(uintptr_t(0x41564952));
    struct Case {
        const char* name;
        std::vector<const LV2_Feature*> features;  // null-terminated below
        bool hasState;
    } cases[] = {
        {"empty", {}, false},
        {"null URI, then map", {&nullUri, &map.feature}, true},
        {"map without data, then map", {&nullData, &map.feature}, true},
        {"lv2file 0.95: map, unmap without data, an entry never filled in", {&map.feature, &unmap, &garbage}, true},
        {"a URI that cannot be read", {&garbage, &map.feature}, true},
        {"a URI that runs into an unreadable page", {&runningOff, &map.feature}, true},
        {"an entry that cannot be read", {&unknown, unreadableEntry, &map.feature}, true},
        {"unknown, duplicate", {&unknown, &map.feature, &map.feature}, true},
        {"map without its function", {&mapWithoutFunction}, false},
        {"map whose data cannot be read", {&mapToUnreadable}, false},
        {"log and worker without their functions", {&map.feature, &logWithoutPrintf, &workerWithoutSchedule}, true},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.features.push_back(nullptr);
        Instance x(c.features.data());
        ASSERT_NE(x.h, nullptr);
        Store s;
        EXPECT_EQ(x.Save(&s), c.hasState ? LV2_STATE_SUCCESS : LV2_STATE_ERR_NO_FEATURE);
        ExpectRendersLikeAFreshOne(x);  // also: no worker was taken, since edits land at once
    }
    {
        SCOPED_TRACE("an array that cannot be read");
        Instance x(unreadableArray);
        ExpectRendersLikeAFreshOne(x);
    }
    munmap(pages, size_t(2 * page));
}

TEST(Lv2HostMisbehaviour, UnusableSampleRatesFailCleanly) {
    for (double rate : {0.0, -48000.0, double(NAN), 1e7, double(INFINITY)}) {
        Instance x(nullptr, rate);
        EXPECT_EQ(x.h, nullptr) << rate;
    }
    Instance one(nullptr, 1.0);  // usable, if useless
    ASSERT_NE(one.h, nullptr);
    one.d->run(one.h, kFrames);
    Instance x(nullptr);
    ExpectRendersLikeAFreshOne(x);
}

// run before activate, with 0 frames, with nothing or null connected, after deactivate; activate
// twice; an out-of-range port; cleanup without activate; a null handle everywhere.
TEST(Lv2HostMisbehaviour, EntryPointsCalledOutOfOrderOrHalfConnected) {
    const LV2_Descriptor* d = Descriptor(0);
    ASSERT_NE(d, nullptr);
    {
        LV2_Handle h = d->instantiate(d, 48000.0, MAROVEX_LV2_BUNDLE "/", nullptr);
        ASSERT_NE(h, nullptr);
        d->run(h, 64);  // nothing connected
        d->cleanup(h);  // never activated
    }
    Instance x(nullptr);
    ASSERT_NE(x.h, nullptr);
    x.d->run(x.h, kFrames);  // before activate
    x.d->run(x.h, 0);
    x.d->connect_port(x.h, 99, x.out[0].data());
    // An input connected to null: the outputs get silence, not what the host's buffer held.
    std::fill(x.out[0].begin(), x.out[0].end(), 7.0f);
    std::fill(x.out[1].begin(), x.out[1].end(), 7.0f);
    x.d->connect_port(x.h, kFirstAudioPort + 1, nullptr);
    for (uint32_t i = 0; i < kParameterCount; ++i) x.d->connect_port(x.h, i, nullptr);
    x.d->connect_port(x.h, kMeterPort, nullptr);
    x.d->run(x.h, kFrames);
    EXPECT_EQ(x.out[0], std::vector<float>(kFrames, 0.0f));
    EXPECT_EQ(x.out[1], std::vector<float>(kFrames, 0.0f));
    x.d->activate(x.h);
    x.d->activate(x.h);
    x.d->deactivate(x.h);
    x.d->run(x.h, kFrames);
    x.d->deactivate(x.h);

    d->connect_port(nullptr, 0, nullptr);
    d->activate(nullptr);
    d->run(nullptr, kFrames);
    d->deactivate(nullptr);
    d->cleanup(nullptr);
    UridMap map;
    const LV2_Feature* features[] = {&map.feature, nullptr};
    Instance stateful(features);
    Store s;
    EXPECT_NE(stateful.State()->save(nullptr, Store::Put, &s, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_NE(stateful.State()->restore(nullptr, Store::Get, &s, 0, nullptr), LV2_STATE_SUCCESS);
    const auto* worker = static_cast<const LV2_Worker_Interface*>(d->extension_data(LV2_WORKER__interface));
    ASSERT_NE(worker, nullptr);
    EXPECT_NE(worker->work(nullptr, nullptr, nullptr, 0, nullptr), LV2_WORKER_SUCCESS);

    EXPECT_EQ(d->extension_data(nullptr), nullptr);
    EXPECT_EQ(d->extension_data("urn:nobody:knows"), nullptr);
    ExpectRendersLikeAFreshOne(x);
}

// restore with what is not our state leaves the settings and fails where it is a fault; save and
// restore without their callbacks fail; a valid restore works afterwards.
TEST(Lv2HostMisbehaviour, StatesThatAreNotOursChangeNothing) {
    UridMap map;
    const LV2_Feature* features[] = {&map.feature, nullptr};
    Instance x(features);
    ASSERT_NE(x.h, nullptr);
    x.controls[5] = 0.9f;
    Store saved;
    ASSERT_EQ(x.Save(&saved), LV2_STATE_SUCCESS);
    const LV2_URID chunk = UridMap::Map(&map, LV2_ATOM__Chunk);

    std::mt19937 random(7);
    std::vector<uint8_t> noise(1 << 20);
    for (uint8_t& b : noise) b = uint8_t(random());
    std::vector<uint8_t> longer = saved.bytes, badSize = saved.bytes;
    longer.push_back(0);
    badSize[0] ^= 0x40;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        uint32_t type;
        LV2_State_Status expected;
    } cases[] = {
        {"another type", saved.bytes, chunk + 100, LV2_STATE_ERR_BAD_TYPE},
        {"empty", {}, chunk, LV2_STATE_ERR_UNKNOWN},
        {"one byte more", longer, chunk, LV2_STATE_ERR_UNKNOWN},
        {"size field wrong", badSize, chunk, LV2_STATE_ERR_UNKNOWN},
        {"1 MB of random bytes", noise, chunk, LV2_STATE_ERR_UNKNOWN},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Store bad{c.bytes, saved.key, c.type};
        EXPECT_EQ(x.Restore(&bad), c.expected);
        Store after;
        ASSERT_EQ(x.Save(&after), LV2_STATE_SUCCESS);
        EXPECT_EQ(after.bytes, saved.bytes);
    }
    Store missing{saved.bytes, saved.key + 100, chunk};  // no property of ours
    EXPECT_EQ(x.Restore(&missing), LV2_STATE_SUCCESS);
    auto nothing = [](LV2_State_Handle, uint32_t, size_t*, uint32_t*, uint32_t*) -> const void* { return nullptr; };
    EXPECT_EQ(x.State()->restore(x.h, nothing, nullptr, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_EQ(x.State()->restore(x.h, nullptr, nullptr, 0, nullptr), LV2_STATE_ERR_UNKNOWN);
    EXPECT_EQ(x.State()->save(x.h, nullptr, nullptr, 0, nullptr), LV2_STATE_ERR_UNKNOWN);
    Store after;
    ASSERT_EQ(x.Save(&after), LV2_STATE_SUCCESS);
    EXPECT_EQ(after.bytes, saved.bytes);
    EXPECT_EQ(x.Restore(&saved), LV2_STATE_SUCCESS);
    ExpectRendersLikeAFreshOne(x);
}

// ---------------------------------------------------------------------------------------------
// The saved state holds the ports' latest values.

// The chunk record `marovex process --set ID=V ... --save-state` writes.
std::vector<uint8_t> ProgramState(const std::vector<std::pair<uint32_t, float>>& settings) {
    testfiles::TempFolder dir;
    const fs::path in = dir.Path("in.wav"), out = dir.Path("out.wav"), state = dir.Path("state.bin");
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &info);
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return {};
    const float silence[128] = {};
    sf_writef_float(f, silence, 64);
    sf_close(f);
    std::string command = std::string(MAROVEX_CLI_PROGRAM) + " process '" + in.string() + "' '" + out.string() +
                          "' --quiet --overwrite --save-state '" + state.string() + "'";
    for (const auto& [port, value] : settings) {
        char set[64];
        std::snprintf(set, sizeof set, " --set %s=%.9g", kParameterSymbols[port], double(value));
        command += set;
    }
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    const std::string bytes = testfiles::ReadAll(state);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Ports set, then save at once, without a run in between, with the host's worker (whose edits are
// then not made yet) and without one, before and after a run and after a restore: the chunk is
// byte for byte the program's for the same values.
TEST(Lv2HostMisbehaviour, SaveRightAfterAPortChangeHoldsIt) {
    const std::vector<std::pair<uint32_t, float>> first = {{4, 0.3f}, {3, 0.25f}, {6, 0.8f}};
    const std::vector<std::pair<uint32_t, float>> second = {{4, 0.3f}, {3, 0.25f}, {6, 0.8f}, {1, 0.7f}, {8, 0.125f}};
    const std::vector<std::pair<uint32_t, float>> third = {{4, 0.6f}, {2, 0.9f}};
    const std::vector<uint8_t> firstState = ProgramState(first), secondState = ProgramState(second);
    const std::vector<uint8_t> defaultState = ProgramState({}), thirdState = ProgramState(third);
    ASSERT_FALSE(firstState.empty());
    ASSERT_NE(firstState, secondState);

    for (const bool withWorker : {false, true}) {
        SCOPED_TRACE(withWorker ? "worker" : "no worker");
        UridMap map;
        HeldWorker worker;
        const LV2_Feature* features[] = {&map.feature, withWorker ? &worker.feature : nullptr, nullptr};
        Instance x(features);
        ASSERT_NE(x.h, nullptr);
        x.d->activate(x.h);
        Store s;
        for (const auto& [port, value] : first) x.controls[port] = value;
        ASSERT_EQ(x.Save(&s), LV2_STATE_SUCCESS);
        EXPECT_EQ(s.bytes, firstState) << "before any run";
        x.d->run(x.h, 64);  // with the worker: scheduled, not made
        EXPECT_EQ(worker.messages.size(), withWorker ? first.size() : 0u);
        ASSERT_EQ(x.Save(&s), LV2_STATE_SUCCESS);
        EXPECT_EQ(s.bytes, firstState) << "after a run";
        for (const auto& [port, value] : second) x.controls[port] = value;
        ASSERT_EQ(x.Save(&s), LV2_STATE_SUCCESS);
        EXPECT_EQ(s.bytes, secondState) << "changed again";

        // restore, then save at once: the restored chunk (the ports as they are count as its
        // values); ports changed after it win, and edits scheduled before it are dropped.
        Store restored{defaultState, s.key, s.type};
        ASSERT_EQ(x.Restore(&restored), LV2_STATE_SUCCESS);
        ASSERT_EQ(x.Save(&s), LV2_STATE_SUCCESS);
        EXPECT_EQ(s.bytes, defaultState) << "right after restore";
        for (const auto& [port, value] : third) x.controls[port] = value;
        ASSERT_EQ(x.Save(&s), LV2_STATE_SUCCESS);
        EXPECT_EQ(s.bytes, thirdState) << "ports set after restore";
        if (withWorker) {
            const auto* work = static_cast<const LV2_Worker_Interface*>(x.d->extension_data(LV2_WORKER__interface));
            for (const auto& m : worker.messages) {
                EXPECT_EQ(work->work(x.h, nullptr, nullptr, uint32_t(m.size()), m.data()), LV2_WORKER_SUCCESS);
            }
            ASSERT_EQ(x.Save(&s), LV2_STATE_SUCCESS);
            EXPECT_EQ(s.bytes, thirdState) << "stale edits made";
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The user interface, under a virtual X server.

const LV2UI_Descriptor* UiDescriptor() {
    static void* library = dlopen(MAROVEX_LV2_BUNDLE "/MarovexLv2UI.so", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    return entry != nullptr ? entry(0) : nullptr;
}

int gHostErrors = 0;
int CountHostError(Display*, XErrorEvent*) { return ++gHostErrors, 0; }

// Runs `body` in a child process with Xlib's own error handler, which ends the process (status 1)
// on any error it is handed; the child's exit status (-1 when it did not exit).
template <typename Body>
int StatusInChild(Body body) {
    const pid_t child = fork();
    if (child == 0) {
        XSetErrorHandler(nullptr);
        _exit(body());
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// What hosts pass the user interface. A parent window that does not exist fails instantiate (Xlib's
// handler would end the host) and leaves the host's handler in place; a parent the host destroys
// while the interface is open makes idle report it closed, and cleanup ends quietly. No place for
// the widget or no write function fail instantiate; null features, broken entries and a null URI
// are survived. The host's own handler sees the errors of its own connection, and only those.
TEST(Lv2HostMisbehaviour, UserInterfaceSurvivesWhatHostsPass) {
    // The server gets /dev/null as its output: should a fault end this process, a server left
    // holding the test runner's pipes would keep the runner waiting.
    const int saved[2] = {fcntl(1, F_DUPFD_CLOEXEC, 3), fcntl(2, F_DUPFD_CLOEXEC, 3)};
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(null, 1);
    dup2(null, 2);
    toolkittest::XvfbServer server;
    dup2(saved[0], 1);
    dup2(saved[1], 2);
    for (int fd : {saved[0], saved[1], null}) close(fd);
    ASSERT_FALSE(server.display().empty()) << "Xvfb is installed by scripts/deps.sh";
    setenv("DISPLAY", server.display().c_str(), 1);
    const LV2UI_Descriptor* ui = UiDescriptor();
    ASSERT_NE(ui, nullptr);
    const auto* idle = static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);
    LV2UI_Widget widget = nullptr;
    auto write = [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {};
    const float value = 0.2f;
    LV2_Feature missingParent{LV2_UI__parent, reinterpret_cast<void*>(uintptr_t(0x3ffffff))};
    const LV2_Feature* withMissing[] = {&missingParent, nullptr};
    LV2_Feature garbage{reinterpret_cast<const char*>(uintptr_t(0x41564952)), nullptr};
    LV2_Feature resizeWithoutFunction{LV2_UI__resize, &garbage};  // its function pointer reads as null

    // Status 1: Xlib's handler ended the process; 2: the call did not fail; 3: the handler changed.
    const int missing = StatusInChild([&] {
        const XErrorHandler xlib = XSetErrorHandler(nullptr);
        if (ui->instantiate(ui, kStereoUri, "", write, nullptr, &widget, withMissing) != nullptr) return 2;
        return XSetErrorHandler(nullptr) == xlib ? 0 : 3;
    });
    EXPECT_EQ(missing, 0) << "a parent that does not exist";
    // 2: idle did not report the interface closed. (In a child also because cairo keeps a record
    // of the destroyed window's surface for good, which the leak check would report.)
    const int destroyed = StatusInChild([&] {
        Display* host = XOpenDisplay(nullptr);
        const Window parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 100, 100, 0, 0, 0);
        XSync(host, False);
        LV2_Feature realParent{LV2_UI__parent, reinterpret_cast<void*>(uintptr_t(parent))};
        const LV2_Feature* features[] = {&garbage, &resizeWithoutFunction, &realParent, nullptr};
        LV2UI_Handle embedded = ui->instantiate(ui, nullptr, "", write, nullptr, &widget, features);
        if (embedded == nullptr || idle->idle(embedded) != 0) return 2;
        XDestroyWindow(host, parent);
        XSync(host, False);
        ui->port_event(embedded, 4, sizeof value, 0, &value);
        if (idle->idle(embedded) != 1) return 2;
        ui->cleanup(embedded);
        XCloseDisplay(host);
        return 0;
    });
    EXPECT_EQ(destroyed, 0) << "a parent destroyed under the interface";

    Display* host = XOpenDisplay(nullptr);
    ASSERT_NE(host, nullptr);
    XSetErrorHandler(&CountHostError);
    EXPECT_EQ(ui->instantiate(ui, kMonoUri, "", write, nullptr, &widget, withMissing), nullptr);
    EXPECT_EQ(gHostErrors, 0);
    XMapWindow(host, Window(0x3ffffff));
    XSync(host, False);
    EXPECT_EQ(gHostErrors, 1);
    const LV2_Feature* broken[] = {&garbage, &resizeWithoutFunction, nullptr};
    EXPECT_EQ(ui->instantiate(ui, kStereoUri, "", write, nullptr, nullptr, broken), nullptr);
    EXPECT_EQ(ui->instantiate(ui, kStereoUri, "", nullptr, nullptr, &widget, broken), nullptr);
    LV2UI_Handle own = ui->instantiate(ui, kMonoUri, "", write, nullptr, &widget, broken);
    ASSERT_NE(own, nullptr);
    ui->port_event(own, 4, sizeof value, 0, &value);
    EXPECT_EQ(idle->idle(own), 0);
    ui->port_event(nullptr, 4, sizeof value, 0, &value);
    EXPECT_EQ(idle->idle(nullptr), 1);
    EXPECT_EQ(ui->extension_data(nullptr), nullptr);
    ui->cleanup(nullptr);
    ui->cleanup(own);
    EXPECT_EQ(XSetErrorHandler(nullptr), &CountHostError);
    EXPECT_EQ(gHostErrors, 1);
    XCloseDisplay(host);
}

}  // namespace
