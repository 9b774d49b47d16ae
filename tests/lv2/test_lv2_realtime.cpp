// The LV2 plug-ins' run under the real-time watch (libmarovex_rtwatch.so preloaded; the test starts
// itself again with it when it is not): the descriptor is driven directly, with a host worker of the
// test's own (a lock-free ring that run writes and a thread that calls work) and without one.
// With the worker, run allocates, locks, sleeps and does I/O not once, also while it hands port
// changes on, and an edit lands in the block after the run that saw it (values set before activate
// hold from the first block); without one, every edit lands in its own block and run still never
// allocates. Either way the output is bit for bit the host library's with the same edits.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/core/lv2.h>
#include <lv2/worker/worker.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MarovexHost.h"
#include "validate/RealtimeWatch.h"
#include "lv2/Lv2Ports.h"

using namespace marovex_lv2;

namespace {

constexpr double kRate = 48000.0;

// The host's worker as a test stands it in: schedule_work copies the message into a ring of
// `capacity` slots (no allocation, lock or system call on the audio thread); a thread calls work
// for each message in order, once Drain has released it. Releasing only after run has returned
// makes the block an edit lands in certain: a worker that ran while run was still processing could
// make the edit in time for that run's own block.
struct FakeWorker {
    struct Slot {
        uint32_t size;
        uint8_t bytes[16];
    };
    explicit FakeWorker(uint32_t capacity) : slots(capacity) {}
    ~FakeWorker() {
        stop = true;
        if (thread.joinable()) thread.join();
    }
    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle h, uint32_t size, const void* data) {
        auto* w = static_cast<FakeWorker*>(h);
        const uint32_t at = w->head.load(std::memory_order_relaxed);
        if (size > sizeof(Slot::bytes) || at - w->tail.load(std::memory_order_acquire) == w->slots.size()) {
            return LV2_WORKER_ERR_NO_SPACE;
        }
        Slot& s = w->slots[at % w->slots.size()];
        s.size = size;
        std::memcpy(s.bytes, data, size);
        w->head.store(at + 1, std::memory_order_release);
        return LV2_WORKER_SUCCESS;
    }
    void Start(LV2_Handle plugin, const LV2_Worker_Interface* iface) {
        thread = std::thread([this, plugin, iface] {
            while (!stop) {
                const uint32_t at = tail.load(std::memory_order_relaxed);
                if (at == released.load(std::memory_order_acquire)) {
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                    continue;
                }
                const Slot& s = slots[at % slots.size()];
                if (iface->work(plugin, nullptr, nullptr, s.size, s.bytes) != LV2_WORKER_SUCCESS) failures++;
                tail.store(at + 1, std::memory_order_release);
            }
        });
    }
    // Releases every message scheduled so far and waits (10 s at most) until work has seen them.
    bool Drain() {
        released.store(head.load(std::memory_order_acquire), std::memory_order_release);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (tail.load(std::memory_order_acquire) != head.load(std::memory_order_relaxed)) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::yield();
        }
        return true;
    }

    std::vector<Slot> slots;
    std::atomic<uint32_t> head{0}, tail{0}, released{0};
    std::atomic<int> failures{0};
    std::atomic<bool> stop{false};
    std::thread thread;
    LV2_Worker_Schedule schedule{this, &FakeWorker::Schedule};
    LV2_Feature feature{LV2_WORKER__schedule, &schedule};
};

struct Watch {
    MarovexWatchArmFn arm = reinterpret_cast<MarovexWatchArmFn>(dlsym(RTLD_DEFAULT, "marovex_watch_arm"));
    MarovexWatchDisarmFn disarm = reinterpret_cast<MarovexWatchDisarmFn>(dlsym(RTLD_DEFAULT, "marovex_watch_disarm"));
    MarovexWatchThreadFn mark = reinterpret_cast<MarovexWatchThreadFn>(dlsym(RTLD_DEFAULT, "marovex_watch_thread"));
    bool Loaded() const { return arm != nullptr && disarm != nullptr && mark != nullptr; }
};

// Runs the current test again in a child process with the watch preloaded; true when the caller
// is that child (and should test), false when the child ran (its verdict is recorded).
bool InWatchedProcess() {
    if (Watch().Loaded()) return true;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("LD_PRELOAD", MAROVEX_RTWATCH_LIBRARY, 1);
        // The address sanitizer's run-time wants to come first; the watch forwards to it.
        const char* asan = getenv("ASAN_OPTIONS");
        const std::string options = std::string(asan ? asan : "") + (asan ? ":" : "") + "verify_asan_link_order=0";
        setenv("ASAN_OPTIONS", options.c_str(), 1);
        execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the watched run failed, status " << status;
    return false;
}

std::vector<float> Signal(int channel, size_t frames) {
    std::vector<float> s(frames);
    uint32_t seed = 777u + 31u * uint32_t(channel);
    for (size_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        s[i] = float(0.5 * std::sin(0.01 * double(i) * (channel + 1)) + 0.3 * (double(seed >> 8) / double(1u << 24) - 0.5));
    }
    return s;
}

// One plug-in instance from the bundle's library, every port on buffers of its own.
struct Plugin {
    const LV2_Descriptor* d = nullptr;
    LV2_Handle h = nullptr;
    uint32_t channels;
    float controls[kParameterCount] = {};
    float meter = 0.0f;
    std::vector<float> in[2], out[2];
    Plugin(void* library, uint32_t channels, const LV2_Feature* const* features, size_t frames) : channels(channels) {
        auto entry = reinterpret_cast<const LV2_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2_descriptor"));
        d = entry != nullptr ? entry(channels == 2 ? 0 : 1) : nullptr;
        if (d == nullptr || std::strcmp(d->URI, channels == 2 ? kStereoUri : kMonoUri) != 0) return;
        h = d->instantiate(d, kRate, MAROVEX_LV2_BUNDLE "/", features);
        if (h == nullptr) return;
        for (uint32_t i = 0; i < kParameterCount; ++i) d->connect_port(h, i, &controls[i]);
        d->connect_port(h, kMeterPort, &meter);
        for (uint32_t c = 0; c < channels; ++c) {
            in[c] = Signal(int(c), frames);
            out[c].assign(frames, 0.0f);
            d->connect_port(h, kFirstAudioPort + c, in[c].data());
            d->connect_port(h, kFirstAudioPort + channels + c, out[c].data());
        }
    }
    ~Plugin() {
        if (h != nullptr) d->cleanup(h);
    }
    const LV2_Worker_Interface* Worker() const {
        return static_cast<const LV2_Worker_Interface*>(d->extension_data(LV2_WORKER__interface));
    }
};

struct Edit {
    size_t block;
    uint32_t port;
    float value;
};

std::unique_ptr<MarovexInstance> Reference(const std::shared_ptr<MarovexModule>& module, uint32_t channels) {
    std::string error;
    auto r = MarovexInstance::Create(module, channels == 2 ? AAX_eStemFormat_Stereo : AAX_eStemFormat_Mono, float(kRate),
                                     4096, &error);
    EXPECT_TRUE(r) << error;
    return r;
}

bool SetReference(MarovexInstance& r, uint32_t port, float value) {
    return r.SetParameter(kParameterSymbols[port], port == kEnabledPort ? BypassFromEnabled(value) : double(value),
                          nullptr);
}

TEST(Lv2Realtime, RunHandsEditsOnWithoutAllocatingLockingOrSystemCalls) {
    if (!InWatchedProcess()) return;
    Watch watch;
    // The watch must see what it counts (no other interposer in front of it).
    MarovexWatchCounts probe{};
    watch.arm();
    watch.mark(1);
    int* volatile allocated = new int(1);
    delete allocated;
    watch.mark(0);
    watch.disarm(&probe);
    ASSERT_GT(probe.calls[kWatchNew], 0u);
    void* library = dlopen(MAROVEX_LV2_BUNDLE "/MarovexLv2.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    std::string error;
    auto module = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
    ASSERT_TRUE(module) << error;

    const std::vector<uint32_t> blocks = {64, 1, 17, 256, 3, 512, 100, 1, 2048, 64};
    size_t total = 0;
    for (uint32_t b : blocks) total += b;
    // Block 0's edits are made before activate; the others between runs, block 8 changes every port.
    std::vector<Edit> edits = {{0, 5, 0.7f}, {0, 8, 0.6f}, {1, 4, 0.25f}, {2, 7, 0.875f}, {3, 0, 0.0f},
                               {4, 1, 0.8f}, {5, 0, 1.0f}, {6, 2, 0.9f},  {7, 6, 0.35f}};
    const float all[kParameterCount] = {1.0f, 0.3f, 0.7f, 0.2f, 0.65f, 0.45f, 0.55f, 0.125f, 0.4f};
    for (uint32_t i = 0; i < kParameterCount; ++i) edits.push_back({8, i, all[i]});

    for (const bool withWorker : {true, false}) {
        for (const uint32_t channels : {2u, 1u}) {
            SCOPED_TRACE(std::string(withWorker ? "worker, " : "no worker, ") + std::to_string(channels));
            FakeWorker worker(64);
            const LV2_Feature* features[] = {withWorker ? &worker.feature : nullptr, nullptr};
            Plugin lv2(library, channels, features, total);
            ASSERT_NE(lv2.h, nullptr);
            auto ref = Reference(module, channels);
            ASSERT_TRUE(ref);
            MarovexParameterInfo info;
            for (uint32_t i = 0; i < kParameterCount; ++i) {
                ASSERT_TRUE(ref->GetParameterInfo(int32_t(i), &info, &error)) << error;
                lv2.controls[i] = i == kEnabledPort ? 1.0f : float(info.defaultNormalized);
            }
            for (const Edit& e : edits) {
                if (e.block == 0) lv2.controls[e.port] = e.value;
            }
            lv2.d->activate(lv2.h);
            if (withWorker) {
                ASSERT_NE(lv2.Worker(), nullptr);
                worker.Start(lv2.h, lv2.Worker());
            }

            std::vector<float> expected[2] = {std::vector<float>(total), std::vector<float>(total)};
            size_t offset = 0;
            uint32_t changes = 0;
            for (size_t b = 0; b < blocks.size(); ++b) {
                SCOPED_TRACE(b);
                bool changed = false;
                for (const Edit& e : edits) {
                    // The edits of the ports: before the block without a worker (and before
                    // activate); with one, the worker makes them after the run that sees them.
                    if (e.block == b && b > 0 && lv2.controls[e.port] != e.value) {
                        lv2.controls[e.port] = e.value;
                        changed = true;
                        ++changes;
                    }
                    if (e.block + (withWorker && e.block > 0 ? 1 : 0) == b) {
                        ASSERT_TRUE(SetReference(*ref, e.port, e.value));
                    }
                }
                const float* in[2] = {lv2.in[0].data() + offset, channels == 2 ? lv2.in[1].data() + offset : nullptr};
                float* out[2] = {expected[0].data() + offset, expected[1].data() + offset};
                ASSERT_EQ(ref->ProcessInCaller(in, out, int32_t(blocks[b])), MarovexProcessStatus::Done);

                for (uint32_t c = 0; c < channels; ++c) {
                    lv2.d->connect_port(lv2.h, kFirstAudioPort + c, lv2.in[c].data() + offset);
                    lv2.d->connect_port(lv2.h, kFirstAudioPort + channels + c, lv2.out[c].data() + offset);
                }
                MarovexWatchCounts counts{};
                watch.arm();
                watch.mark(1);
                lv2.d->run(lv2.h, blocks[b]);
                watch.mark(0);
                watch.disarm(&counts);
                ASSERT_TRUE(worker.Drain());
                for (int k = 0; k < kWatchKinds; ++k) {
                    // Without a worker, run edits through the model's and the posting lock
                    // (uncontended); nothing else, and nothing at all with a worker.
                    const bool allowed = !withWorker && changed && k == kWatchLock;
                    if (!allowed) {
                        EXPECT_EQ(counts.calls[k], 0u) << MarovexWatchKindName(k);
                    }
                }
                for (uint32_t c = 0; c < channels; ++c) {
                    ASSERT_EQ(std::memcmp(lv2.out[c].data() + offset, expected[c].data() + offset,
                                          blocks[b] * sizeof(float)), 0) << "channel " << c;
                }
                EXPECT_EQ(lv2.meter, ref->MeterValue(0));
                offset += blocks[b];
            }
            EXPECT_EQ(worker.failures.load(), 0);
            // Every port change went through the worker, and nothing else did.
            EXPECT_EQ(worker.head.load(), withWorker ? changes : 0u);
            lv2.d->deactivate(lv2.h);
        }
    }
    module.reset();
}

// A full worker: the ports it has no room for are handed on in later runs. Edits scheduled before
// a re-activation are dropped (activate makes the ports' current values itself): a stale one made
// later would undo a newer value.
TEST(Lv2Realtime, FullWorkerRetriesAndActivateDropsStaleEdits) {
    void* library = dlopen(MAROVEX_LV2_BUNDLE "/MarovexLv2.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    std::string error;
    auto module = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
    ASSERT_TRUE(module) << error;
    const size_t n = 512;
    FakeWorker worker(2);
    const LV2_Feature* features[] = {&worker.feature, nullptr};
    Plugin lv2(library, 2, features, n);
    ASSERT_NE(lv2.h, nullptr);
    const float values[kParameterCount] = {1.0f, 0.3f, 0.7f, 0.2f, 0.65f, 0.45f, 0.55f, 0.125f, 0.9f};
    std::copy_n(values, kParameterCount, lv2.controls);
    lv2.d->activate(lv2.h);  // applies them all
    ASSERT_EQ(lv2.controls[8], 0.9f);

    // Nine changes, two slots: 2, 2, 2, 2, 1 messages in five runs, none in the sixth.
    for (uint32_t i = 0; i < kParameterCount; ++i) lv2.controls[i] = 0.5f * values[i];  // enabled 0.5 still processes
    worker.Start(lv2.h, lv2.Worker());
    for (uint32_t expect : {2u, 4u, 6u, 8u, 9u, 9u}) {
        lv2.d->run(lv2.h, 1);
        ASSERT_TRUE(worker.Drain());
        EXPECT_EQ(worker.head.load(), expect);
    }
    worker.stop = true;
    worker.thread.join();

    // Scheduled while the worker is stopped, then set anew, re-activated and only then worked.
    lv2.controls[8] = 0.95f;
    lv2.d->run(lv2.h, 1);
    EXPECT_EQ(worker.head.load(), 10u);
    lv2.controls[8] = 0.2f;
    lv2.d->deactivate(lv2.h);
    lv2.d->activate(lv2.h);
    worker.stop = false;
    worker.Start(lv2.h, lv2.Worker());
    ASSERT_TRUE(worker.Drain());
    lv2.d->run(lv2.h, uint32_t(n));

    auto ref = Reference(module, 2);
    ASSERT_TRUE(ref);
    for (uint32_t i = 0; i < kParameterCount; ++i) ASSERT_TRUE(SetReference(*ref, i, lv2.controls[i]));
    std::vector<float> expected[2] = {std::vector<float>(n), std::vector<float>(n)};
    const float* in[2] = {lv2.in[0].data(), lv2.in[1].data()};
    float* out[2] = {expected[0].data(), expected[1].data()};
    ASSERT_EQ(ref->ProcessInCaller(in, out, int32_t(n)), MarovexProcessStatus::Done);
    for (uint32_t c = 0; c < 2; ++c) EXPECT_EQ(std::memcmp(lv2.out[c].data(), expected[c].data(), n * sizeof(float)), 0);
    lv2.d->deactivate(lv2.h);
}

}  // namespace
