// The LV2 plug-ins loaded the way hosts load them (through lilv): what the bundle describes, what run
// computes (against our own host library driving the module directly), what run must not do, and
// state through the state extension.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <xmmintrin.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "MarovexHost.h"
#include "lv2/Lv2Ports.h"
#include "tests/lv2/lv2_urid_map.h"

using namespace marovex_lv2;

// ---------------------------------------------------------------------------------------------
// Allocation counting: every operator new of the process goes through here; while a thread has
// counting switched on, its allocations are counted.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
thread_local bool tCounting = false;
std::atomic<int> gAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
    if (tCounting) gAllocations.fetch_add(1);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (tCounting) gAllocations.fetch_add(1);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr double kRate = 48000.0;

// A URID map for the state tests (lv2apply-like hosts offer none).
using lv2test::UridMap;

struct World {
    LilvWorld* world = lilv_world_new();
    World() {
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, MAROVEX_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
    }
    ~World() { lilv_world_free(world); }
    const LilvPlugin* Plugin(const char* uri) const {
        LilvNode* node = lilv_new_uri(world, uri);
        const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node);
        lilv_node_free(node);
        return p;
    }
    LilvNode* Uri(const char* uri) const { return lilv_new_uri(world, uri); }
};

// Deterministic test signal: two tones and a pseudo-random noise, different per channel.
std::vector<float> Signal(int channel, size_t frames) {
    std::vector<float> s(frames);
    uint32_t seed = 12345u + 977u * uint32_t(channel);
    for (size_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = double(seed >> 8) / double(1u << 24) - 0.5;
        const double t = double(i) / kRate;
        s[i] = float(0.4 * std::sin(2 * M_PI * (220.0 + 110.0 * channel) * t) + 0.3 * std::sin(2 * M_PI * 4700.0 * t) +
                     0.2 * noise);
    }
    return s;
}

// One LV2 instance with every port connected to buffers of its own.
struct Lv2Instance {
    uint32_t channels;
    LilvInstance* instance = nullptr;
    float controls[kParameterCount] = {};
    float meter = -1.0f;
    std::vector<float> in[2], out[2];

    Lv2Instance(const LilvPlugin* plugin, uint32_t channels, size_t maxFrames, const LV2_Feature* const* features)
        : channels(channels) {
        instance = lilv_plugin_instantiate(plugin, kRate, features);
        if (instance == nullptr) return;
        // The defaults of the description.
        std::vector<float> defaults(lilv_plugin_get_num_ports(plugin));
        lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
        for (uint32_t i = 0; i < kParameterCount; ++i) controls[i] = defaults[i];
        for (uint32_t i = 0; i < kParameterCount; ++i) lilv_instance_connect_port(instance, i, &controls[i]);
        lilv_instance_connect_port(instance, kMeterPort, &meter);
        for (uint32_t c = 0; c < channels; ++c) {
            in[c].assign(maxFrames, 0.0f);
            out[c].assign(maxFrames, 0.0f);
            lilv_instance_connect_port(instance, kFirstAudioPort + c, in[c].data());
            lilv_instance_connect_port(instance, kFirstAudioPort + channels + c, out[c].data());
        }
        lilv_instance_activate(instance);
    }
    ~Lv2Instance() {
        if (instance != nullptr) {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
    }
    const LV2_State_Interface* State() const {
        return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
    }
};

// The module as our own program loads it (our own bundle's copy, not the LV2 bundle's: one loader per
// file in a process).
std::shared_ptr<MarovexModule> OwnModule() {
    std::string error;
    auto module = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
    EXPECT_TRUE(module) << error;
    return module;
}

// ---------------------------------------------------------------------------------------------

// Indices, symbols, directions, ranges and designations are a stored format; defaults must be the
// module's and lie in their range; nothing may be required of the host.
TEST(Lv2Plugin, DescriptionMatchesTheFixedTableAndTheModule) {
    World w;
    auto module = OwnModule();
    ASSERT_TRUE(module);
    std::string error;
    auto reference = MarovexInstance::Create(module, AAX_eStemFormat_Stereo, float(kRate), 64, &error);
    ASSERT_TRUE(reference) << error;

    LilvNode* input = w.Uri(LV2_CORE__InputPort);
    LilvNode* output = w.Uri(LV2_CORE__OutputPort);
    LilvNode* control = w.Uri(LV2_CORE__ControlPort);
    LilvNode* audio = w.Uri(LV2_CORE__AudioPort);
    LilvNode* enabled = w.Uri(LV2_CORE__enabled);
    LilvNode* toggled = w.Uri(LV2_CORE__toggled);
    for (uint32_t channels : {2u, 1u}) {
        SCOPED_TRACE(channels);
        const LilvPlugin* p = w.Plugin(channels == 2 ? kStereoUri : kMonoUri);
        ASSERT_NE(p, nullptr);
        LilvNodes* required = lilv_plugin_get_required_features(p);
        EXPECT_EQ(lilv_nodes_size(required), 0u);
        lilv_nodes_free(required);
        ASSERT_EQ(lilv_plugin_get_num_ports(p), PortCount(channels));
        std::vector<float> mins(PortCount(channels)), maxs(PortCount(channels)), defs(PortCount(channels));
        lilv_plugin_get_port_ranges_float(p, mins.data(), maxs.data(), defs.data());

        for (uint32_t i = 0; i < PortCount(channels); ++i) {
            SCOPED_TRACE(i);
            const LilvPort* port = lilv_plugin_get_port_by_index(p, i);
            ASSERT_NE(port, nullptr);
            const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(p, port));
            // Every symbol once.
            LilvNode* symbolNode = lilv_new_string(w.world, symbol.c_str());
            EXPECT_EQ(lilv_port_get_index(p, lilv_plugin_get_port_by_symbol(p, symbolNode)), i);
            lilv_node_free(symbolNode);
            if (i < kParameterCount) {
                EXPECT_EQ(symbol, kParameterSymbols[i]);
                EXPECT_TRUE(lilv_port_is_a(p, port, input) && lilv_port_is_a(p, port, control));
                EXPECT_EQ(mins[i], 0.0f);
                EXPECT_EQ(maxs[i], 1.0f);
                EXPECT_TRUE(defs[i] >= mins[i] && defs[i] <= maxs[i]);
                MarovexParameterInfo info;
                ASSERT_TRUE(reference->GetParameterInfo(int32_t(i), &info, &error)) << error;
                EXPECT_EQ(info.id, symbol);
                if (i == kEnabledPort) {
                    // Enabled is the bypass inverted: the module's default "not bypassed" is 1.
                    EXPECT_EQ(defs[i], EnabledFromBypass(info.defaultNormalized));
                    EXPECT_EQ(defs[i], 1.0f);
                    EXPECT_TRUE(lilv_port_has_property(p, port, toggled));
                } else {
                    EXPECT_EQ(defs[i], float(info.defaultNormalized));
                    LilvNode* name = lilv_port_get_name(p, port);
                    EXPECT_EQ(std::string(lilv_node_as_string(name)), info.name);
                    lilv_node_free(name);
                }
            } else if (i == kMeterPort) {
                EXPECT_EQ(symbol, kMeterSymbol);
                EXPECT_TRUE(lilv_port_is_a(p, port, output) && lilv_port_is_a(p, port, control));
            } else {
                const uint32_t a = i - kFirstAudioPort;
                EXPECT_EQ(symbol, channels == 2 ? kStereoAudioSymbols[a] : kMonoAudioSymbols[a]);
                EXPECT_TRUE(lilv_port_is_a(p, port, audio));
                EXPECT_TRUE(lilv_port_is_a(p, port, a < channels ? input : output));
            }
        }
        const LilvPort* designated = lilv_plugin_get_port_by_designation(p, input, enabled);
        ASSERT_NE(designated, nullptr);
        EXPECT_EQ(lilv_port_get_index(p, designated), kEnabledPort);
    }
    for (LilvNode* n : {input, output, control, audio, enabled, toggled}) lilv_node_free(n);
}

// Blocks of every length the hosts use (0, 1, odd, longer than the instance's longest block), port
// edits between them, the enabled port switched off and on: the LV2 output is bit for bit what our
// host library gives when it drives the module directly with the same edits, and the meter port
// shows the module's meter. run allocates nothing, even when it turns port changes into edits, and
// leaves the caller's floating-point control word as it found it. No features are offered (as
// lv2apply offers none).
TEST(Lv2Plugin, RunMatchesTheHostLibraryAtEveryBlockLength) {
    World w;
    auto module = OwnModule();
    ASSERT_TRUE(module);
    const std::vector<uint32_t> blocks = {1, 17, 0, 256, 1, 4096, 5000, 3, 333, 1024, 64, 7};
    size_t total = 0;
    for (uint32_t b : blocks) total += b;
    struct Edit {
        size_t block;
        uint32_t port;
        float value;
    };
    const std::vector<Edit> edits = {{1, 4, 0.25f}, {3, 7, 0.875f}, {4, 0, 0.0f},  {5, 1, 0.8f},
                                     {6, 0, 1.0f},  {7, 2, 0.9f},   {8, 6, 0.35f}, {9, 3, 0.4f}};

    for (uint32_t channels : {2u, 1u}) {
        SCOPED_TRACE(channels);
        Lv2Instance lv2(w.Plugin(channels == 2 ? kStereoUri : kMonoUri), channels, 5000, nullptr);
        ASSERT_NE(lv2.instance, nullptr);
        std::string error;
        auto ours = MarovexInstance::Create(module, channels == 2 ? AAX_eStemFormat_Stereo : AAX_eStemFormat_Mono,
                                            float(kRate), 4096, &error);
        ASSERT_TRUE(ours) << error;

        std::vector<float> signal[2] = {Signal(0, total), Signal(1, total)};
        std::vector<float> expected[2] = {std::vector<float>(5000), std::vector<float>(5000)};
        size_t offset = 0;
        for (size_t b = 0; b < blocks.size(); ++b) {
            const uint32_t n = blocks[b];
            for (const Edit& e : edits) {
                if (e.block != b) continue;
                lv2.controls[e.port] = e.value;
                const double normalized = e.port == kEnabledPort ? BypassFromEnabled(e.value) : double(e.value);
                ASSERT_TRUE(ours->SetParameter(kParameterSymbols[e.port], normalized, &error)) << error;
            }
            const float* in[2];
            float* out[2];
            for (uint32_t c = 0; c < channels; ++c) {
                std::copy_n(signal[c].data() + offset, n, lv2.in[c].data());
                in[c] = signal[c].data() + offset;
                out[c] = expected[c].data();
            }
            ASSERT_EQ(ours->ProcessInCaller(in, out, int32_t(n)), MarovexProcessStatus::Done);

            _mm_setcsr(0x1F80);
            gAllocations = 0;
            tCounting = true;
            lilv_instance_run(lv2.instance, n);
            tCounting = false;
            EXPECT_EQ(gAllocations.load(), 0) << "block " << b;
            EXPECT_EQ(_mm_getcsr(), 0x1F80u) << "block " << b;

            for (uint32_t c = 0; c < channels; ++c) {
                ASSERT_EQ(std::memcmp(lv2.out[c].data(), expected[c].data(), n * sizeof(float)), 0)
                    << "block " << b << " channel " << c;
            }
            if (n > 0) {
                EXPECT_EQ(lv2.meter, ours->MeterValue(0)) << "block " << b;
            }
            // While the enabled port is off the input passes unchanged.
            if (lv2.controls[kEnabledPort] == 0.0f) {
                EXPECT_EQ(std::memcmp(lv2.out[0].data(), signal[0].data() + offset, n * sizeof(float)), 0);
            }
            offset += n;
        }
        // And processing did something when enabled.
        EXPECT_NE(std::memcmp(lv2.out[0].data(), lv2.in[0].data(), 7 * sizeof(float)), 0);
    }
}

// A second activation starts the processing afresh (as LV2 asks) and keeps every setting: the
// output then equals a new instance's with the same ports.
TEST(Lv2Plugin, ReactivationResetsProcessingAndKeepsSettings) {
    World w;
    const LilvPlugin* plugin = w.Plugin(kStereoUri);
    const float values[kParameterCount] = {1.0f, 0.6f, 0.2f, 0.5f, 0.8f, 0.3f, 0.7f, 0.25f, 0.45f};
    const size_t n = 2048;
    Lv2Instance used(plugin, 2, n, nullptr), fresh(plugin, 2, n, nullptr);
    ASSERT_NE(used.instance, nullptr);
    ASSERT_NE(fresh.instance, nullptr);
    std::copy_n(values, kParameterCount, used.controls);
    std::copy_n(values, kParameterCount, fresh.controls);
    for (uint32_t c = 0; c < 2; ++c) used.in[c] = Signal(int(c), n);  // same size: reconnect below
    for (uint32_t c = 0; c < 2; ++c) lilv_instance_connect_port(used.instance, kFirstAudioPort + c, used.in[c].data());
    lilv_instance_run(used.instance, uint32_t(n));
    lilv_instance_deactivate(used.instance);
    lilv_instance_activate(used.instance);
    for (uint32_t c = 0; c < 2; ++c) {
        const std::vector<float> next = Signal(int(c) + 5, n);
        std::copy(next.begin(), next.end(), used.in[c].begin());
        std::copy(next.begin(), next.end(), fresh.in[c].begin());
    }
    lilv_instance_run(used.instance, uint32_t(n));
    lilv_instance_run(fresh.instance, uint32_t(n));
    for (uint32_t c = 0; c < 2; ++c) {
        EXPECT_EQ(std::memcmp(used.out[c].data(), fresh.out[c].data(), n * sizeof(float)), 0) << c;
    }
}

// The state extension stores the chunk record, the same bytes our own program saves for the same
// settings; a fresh instance restored from it (directly, and through lilv's own state handling,
// which sets the ports after restoring) holds every value again.
TEST(Lv2Plugin, StateCarriesTheChunkAndRestoresEveryValue) {
    World w;
    UridMap map;
    const LV2_Feature* features[] = {&map.feature, nullptr};
    const LilvPlugin* plugin = w.Plugin(kStereoUri);
    auto module = OwnModule();
    ASSERT_TRUE(module);
    const float values[kParameterCount] = {1.0f, 0.3f, 0.7f, 0.2f, 0.65f, 0.45f, 0.55f, 0.125f, 0.6f};

    Lv2Instance first(plugin, 2, 64, features);
    ASSERT_NE(first.instance, nullptr);
    std::copy_n(values, kParameterCount, first.controls);
    lilv_instance_run(first.instance, 64);

    struct Store {
        UridMap* map;
        std::vector<uint8_t> bytes;
        LV2_URID key = 0, type = 0;
        uint32_t flags = 0;
        static LV2_State_Status Put(LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type,
                                    uint32_t flags) {
            auto* s = static_cast<Store*>(h);
            s->key = key;
            s->type = type;
            s->flags = flags;
            s->bytes.assign(static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
            return LV2_STATE_SUCCESS;
        }
        static const void* Get(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
            auto* s = static_cast<Store*>(h);
            if (key != s->key) return nullptr;
            *size = s->bytes.size();
            *type = s->type;
            *flags = s->flags;
            return s->bytes.data();
        }
    } saved{&map, {}, 0, 0, 0};
    ASSERT_EQ(first.State()->save(first.instance->lv2_handle, Store::Put, &saved, LV2_STATE_IS_POD, features),
              LV2_STATE_SUCCESS);
    EXPECT_EQ(saved.key, UridMap::Map(&map, kChunkKeyUri));
    EXPECT_EQ(saved.type, UridMap::Map(&map, LV2_ATOM__Chunk));

    // The same bytes as our own program's saved state for these settings.
    std::string error;
    auto ours = MarovexInstance::Create(module, AAX_eStemFormat_Stereo, float(kRate), 64, &error);
    ASSERT_TRUE(ours) << error;
    for (uint32_t i = 1; i < kParameterCount; ++i) {
        ASSERT_TRUE(ours->SetParameter(kParameterSymbols[i], values[i], &error)) << error;
    }
    std::vector<uint8_t> record;
    ASSERT_TRUE(ours->SaveState(&record, &error)) << error;
    EXPECT_EQ(saved.bytes, record);

    // Restored directly into an instance whose ports stay at their defaults: the state holds.
    {
        Lv2Instance second(plugin, 2, 64, features);
        ASSERT_EQ(second.State()->restore(second.instance->lv2_handle, Store::Get, &saved, 0, features),
                  LV2_STATE_SUCCESS);
        lilv_instance_run(second.instance, 64);
        Store again{&map, {}, 0, 0, 0};
        ASSERT_EQ(second.State()->save(second.instance->lv2_handle, Store::Put, &again, 0, features), LV2_STATE_SUCCESS);
        EXPECT_EQ(again.bytes, record);
        // A later port change is an edit again.
        second.controls[1] = 0.9f;
        lilv_instance_run(second.instance, 64);
        ASSERT_EQ(second.State()->save(second.instance->lv2_handle, Store::Put, &again, 0, features), LV2_STATE_SUCCESS);
        EXPECT_NE(again.bytes, record);
    }

    // Through lilv: it saves port values and our chunk, restores the chunk, then sets the ports.
    struct Ports {
        float* controls;
        static const void* Get(const char* symbol, void* data, uint32_t* size, uint32_t* type) {
            auto* self = static_cast<Ports*>(data);
            for (uint32_t i = 0; i < kParameterCount; ++i) {
                if (std::strcmp(symbol, kParameterSymbols[i]) == 0) {
                    *size = sizeof(float);
                    *type = 0;  // filled in below
                    return &self->controls[i];
                }
            }
            return nullptr;
        }
        static void Set(const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
            auto* self = static_cast<Ports*>(data);
            for (uint32_t i = 0; i < kParameterCount; ++i) {
                if (std::strcmp(symbol, kParameterSymbols[i]) == 0 && size == sizeof(float)) {
                    std::memcpy(&self->controls[i], value, sizeof(float));
                }
            }
        }
    };
    const LV2_URID atomFloat = UridMap::Map(&map, LV2_ATOM__Float);
    struct TypedPorts : Ports {
        LV2_URID floatType;
        static const void* Get(const char* symbol, void* data, uint32_t* size, uint32_t* type) {
            const void* v = Ports::Get(symbol, data, size, type);
            if (v != nullptr) *type = static_cast<TypedPorts*>(data)->floatType;
            return v;
        }
    } firstPorts{{first.controls}, atomFloat};
    LilvState* state = lilv_state_new_from_instance(plugin, first.instance, &map.map, nullptr, nullptr, nullptr, nullptr,
                                                    TypedPorts::Get, &firstPorts, 0, features);
    ASSERT_NE(state, nullptr);
    Lv2Instance third(plugin, 2, 64, features);
    Ports thirdPorts{third.controls};
    lilv_state_restore(state, third.instance, Ports::Set, &thirdPorts, 0, features);
    lilv_state_free(state);
    for (uint32_t i = 0; i < kParameterCount; ++i) EXPECT_EQ(third.controls[i], values[i]) << i;
    lilv_instance_run(third.instance, 64);
    Store fromLilv{&map, {}, 0, 0, 0};
    ASSERT_EQ(third.State()->save(third.instance->lv2_handle, Store::Put, &fromLilv, 0, features), LV2_STATE_SUCCESS);
    EXPECT_EQ(fromLilv.bytes, record);
}

}  // namespace
