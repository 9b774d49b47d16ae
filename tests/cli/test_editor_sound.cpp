// `marovex editor` is heard: under Xvfb, with a JACK server on its dummy driver (which runs in real
// time), the editor plays a one-second loop through the plug-in to JACK; this program is a JACK client
// of its own that records the editor's output ports for two seconds and compares them with
// `marovex process` of the same loop, repeated, with the same settings. The editor's stream starts
// at the loop's first frame in its first JACK period and moves one period per cycle, so the recording
// lines up with the processed file at a whole number of periods; the samples must then be equal bit
// for bit (the plug-in's output does not depend on where blocks begin while no setting changes).
// A recording that JACK reported an xrun during is taken again. Also: with no server running,
// `--audio jack` says so and the editor still runs; on exit the editor prints the latency and xruns.
//
// Exit 0 passed, 1 failed, 77 skipped (Xvfb or jackd not installed).
#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/TestFiles.h"
#include "toolkit/xvfb_server.h"

extern char** environ;

namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 256;
constexpr int kLoopFrames = kRate;            // the loop: one second
constexpr int kExpectedLoops = 40;            // the processed file: forty seconds of it
constexpr int kRecordFrames = 2 * kRate;      // what is compared: two seconds
constexpr const char* kServer = "marovex-editor-sound";
const char* const kSettings[] = {"--set", "FreqA=0.3", "--set", "Action=0.4", "--set", "Width=0.6"};

int Fail(const std::string& why) {
    std::fprintf(stderr, "FAIL: %s\n", why.c_str());
    return 1;
}

bool OnPath(const char* tool) {
    const std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// A child process with its standard error in a file; killed when the object goes.
class Child {
public:
    Child(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& errPath) {
        std::vector<char*> argv;
        std::vector<std::string> a = args;
        for (std::string& s : a) argv.push_back(s.data());
        argv.push_back(nullptr);
        // The given variables replace those of the same name.
        std::vector<std::string> e = env;
        for (char** p = environ; *p != nullptr; ++p) {
            const std::string entry = *p;
            bool replaced = false;
            for (const std::string& v : env) replaced |= entry.compare(0, v.find('=') + 1, v, 0, v.find('=') + 1) == 0;
            if (!replaced) e.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& s : e) envp.push_back(s.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawnp(&mPid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) mPid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (mPid > 0) {
            kill(mPid, SIGKILL);
            waitpid(mPid, nullptr, 0);
        }
    }
    bool Running() {
        if (mPid <= 0) return false;
        int status = 0;
        if (waitpid(mPid, &status, WNOHANG) == 0) return true;
        mPid = -1;
        mStatus = status;
        return false;
    }
    // Sends the signal and waits (at most 20 s); the exit status, or -1.
    int Stop(int signal) {
        if (mPid <= 0) return WIFEXITED(mStatus) ? WEXITSTATUS(mStatus) : -1;
        kill(mPid, signal);
        for (int i = 0; i < 400; ++i) {
            int status = 0;
            if (waitpid(mPid, &status, WNOHANG) == mPid) {
                mPid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

private:
    pid_t mPid = -1;
    int mStatus = 0;
};

template <class Predicate>
bool WaitFor(Predicate ready, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ready();
}

bool WriteWav(const std::string& path, const std::vector<float>& interleaved, int channels) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (f == nullptr) return false;
    const sf_count_t frames = sf_count_t(interleaved.size() / size_t(channels));
    const bool ok = sf_writef_float(f, interleaved.data(), frames) == frames;
    sf_close(f);
    return ok;
}

// The recording client: two input ports; once armed, the next kRecordFrames frames are kept.
struct Recorder {
    jack_client_t* client = nullptr;
    jack_port_t* ports[2] = {};
    std::vector<float> kept[2];
    std::atomic<bool> armed{false};
    std::atomic<bool> done{false};
    std::atomic<int> xruns{0};
    size_t filled = 0;  // the process thread's own while armed

    static int Process(jack_nframes_t frames, void* self) {
        auto* r = static_cast<Recorder*>(self);
        if (!r->armed.load(std::memory_order_acquire) || r->done.load(std::memory_order_relaxed)) return 0;
        const size_t n = std::min<size_t>(frames, size_t(kRecordFrames) - r->filled);
        for (int c = 0; c < 2; ++c) {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(r->ports[c], frames));
            std::memcpy(r->kept[c].data() + r->filled, in, n * sizeof(float));
        }
        r->filled += n;
        if (r->filled == size_t(kRecordFrames)) r->done.store(true, std::memory_order_release);
        return 0;
    }
    static int Xrun(void* self) {
        static_cast<Recorder*>(self)->xruns.fetch_add(1);
        return 0;
    }
};

bool SamePeriod(const std::vector<float>& expected, size_t at, const std::vector<float> (&kept)[2], size_t from) {
    for (size_t i = 0; i < size_t(kPeriod); ++i) {
        if (std::memcmp(&expected[(at + i) * 2], &kept[0][from + i], sizeof(float)) != 0 ||
            std::memcmp(&expected[(at + i) * 2 + 1], &kept[1][from + i], sizeof(float)) != 0) {
            return false;
        }
    }
    return true;
}

// The recording period by period against the processed stream. Each period is found at a whole
// number of periods into the stream, searching forward from where the last one ended: a period
// there continues the stream; one found further on follows a cycle whose output did not reach the
// recorder in time; one found nowhere was never the plug-in's output (a cycle the server did not wait
// for). Without xruns every period must continue the one before.
struct Walk {
    long start = -1;       // where the first period found lies in the stream
    int continuing = 0;    // periods that follow the one before them exactly
    int skipped = 0;       // periods found further on than the one before ended
    int unmatched = 0;     // periods found nowhere from there on
    int longestRun = 0;    // the longest stretch of continuing periods, counting its first
};

Walk WalkRecording(const std::vector<float>& expected, const std::vector<float> (&kept)[2]) {
    Walk w;
    const size_t streamFrames = expected.size() / 2;
    size_t next = 0;  // where the stream goes on; the first period may be anywhere
    int run = 0;
    for (size_t from = 0; from + size_t(kPeriod) <= size_t(kRecordFrames); from += kPeriod) {
        size_t at = next;
        while (at + size_t(kPeriod) <= streamFrames && !SamePeriod(expected, at, kept, from)) at += kPeriod;
        if (at + size_t(kPeriod) > streamFrames) {
            ++w.unmatched;
            run = 0;
            continue;
        }
        if (w.start < 0) {
            w.start = long(at);
            run = 1;
        } else if (at == next) {
            ++w.continuing;
            ++run;
        } else {
            ++w.skipped;
            run = 1;
        }
        w.longestRun = std::max(w.longestRun, run);
        next = at + kPeriod;
    }
    return w;
}

std::string Describe(const Walk& w) {
    return "first period at " + std::to_string(w.start) + ", " + std::to_string(w.continuing) + " continuing, " +
           std::to_string(w.skipped) + " after a skip, " + std::to_string(w.unmatched) + " found nowhere; longest run " +
           std::to_string(w.longestRun) + " periods";
}

int Run() {
    if (!OnPath("Xvfb") || !OnPath("jackd")) {
        std::puts("SKIP: Xvfb or jackd is not installed");
        return 77;
    }
    testfiles::TempFolder folder;
    if (folder.Dir().empty()) return Fail("no temporary folder");
    const std::string program = MAROVEX_CLI_PROGRAM;

    // The loop: two tones over a pulsing noise, loud enough for the plug-in's dynamics to work.
    std::vector<float> loop(size_t(kLoopFrames) * 2);
    uint32_t seed = 12345;
    for (int i = 0; i < kLoopFrames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (double(seed >> 8) / double(1u << 24) - 0.5) * (i % 12000 < 3000 ? 0.8 : 0.1);
        const double t = double(i) / kRate;
        loop[size_t(i) * 2] = float(0.4 * std::sin(2 * M_PI * 220 * t) + noise);
        loop[size_t(i) * 2 + 1] = float(0.3 * std::sin(2 * M_PI * 3300 * t) - noise);
    }
    std::vector<float> repeated;
    for (int k = 0; k < kExpectedLoops; ++k) repeated.insert(repeated.end(), loop.begin(), loop.end());
    const std::string in = folder.Path("loop.wav"), longIn = folder.Path("long.wav"), processed = folder.Path("out.wav");
    if (!WriteWav(in, loop, 2) || !WriteWav(longIn, repeated, 2)) return Fail("cannot write the input files");
    std::string command = "'" + program + "' process -q '" + longIn + "' '" + processed + "'";
    for (const char* a : kSettings) command += std::string(" ") + a;
    if (std::system(command.c_str()) != 0) return Fail("marovex process failed: " + command);
    const std::vector<float> expected = testfiles::ReadAudio(processed);
    if (expected.size() != repeated.size()) return Fail("the processed file has the wrong length");

    toolkittest::XvfbServer xvfb;
    if (xvfb.display().empty()) return Fail("Xvfb did not start");
    const std::vector<std::string> env = {"DISPLAY=" + xvfb.display(), std::string("JACK_DEFAULT_SERVER=") + kServer,
                                          "JACK_NO_AUDIO_RESERVATION=1"};
    std::vector<std::string> editorArgs = {program, "editor", in, "--audio", "jack"};
    for (const char* a : kSettings) editorArgs.push_back(a);

    // One run at a time on the machine: the server's name is fixed (a server that is not shut down
    // cleanly leaves its name behind, and a name per run would pile them up).
    const int lock = open("/tmp/marovex-editor-sound.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (lock < 0 || !WaitFor([&] { return flock(lock, LOCK_EX | LOCK_NB) == 0; }, 60)) {
        std::puts("SKIP: another run holds the lock");
        return 77;
    }

    // 1. No server: --audio jack says so, and the editor runs on (silently) until told to stop.
    {
        const std::string err = folder.Path("silent.err");
        Child editor(editorArgs, env, err);
        const bool said = WaitFor([&] { return testfiles::ReadAll(err).find("no sound (no JACK server is running)") !=
                                               std::string::npos; }, 20);
        if (!said) return Fail("without a server: " + testfiles::ReadAll(err));
        if (!editor.Running()) return Fail("the editor ended without a server: " + testfiles::ReadAll(err));
        const int status = editor.Stop(SIGTERM);
        if (status != 0) return Fail("the silent editor ended with " + std::to_string(status));
    }

    // 2. The server, the editor and the recording.
    Child jackd({"jackd", "-n", kServer, "--no-realtime", "-S", "-t", "5000", "-d", "dummy", "-r",
                 std::to_string(kRate), "-p", std::to_string(kPeriod)},
                env, folder.Path("jackd.log"));
    setenv("JACK_DEFAULT_SERVER", kServer, 1);
    // The library's complaints while the server starts are expected.
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    Recorder recorder;
    recorder.kept[0].resize(kRecordFrames);
    recorder.kept[1].resize(kRecordFrames);
    WaitFor([&] {
        jack_status_t status;
        recorder.client = jack_client_open("marovex-recorder", JackNoStartServer, &status);
        return recorder.client != nullptr || !jackd.Running();
    }, 20);
    if (recorder.client == nullptr) return Fail("the JACK server did not start: " + testfiles::ReadAll(folder.Path("jackd.log")));
    struct Closer {
        jack_client_t* c;
        ~Closer() { jack_client_close(c); }
    } closer{recorder.client};
    for (int c = 0; c < 2; ++c) {
        recorder.ports[c] = jack_port_register(recorder.client, c == 0 ? "in_1" : "in_2", JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsInput, 0);
    }
    jack_set_process_callback(recorder.client, &Recorder::Process, &recorder);
    jack_set_xrun_callback(recorder.client, &Recorder::Xrun, &recorder);
    if (jack_activate(recorder.client) != 0) return Fail("cannot activate the recorder");

    const std::string err = folder.Path("editor.err");
    Child editor(editorArgs, env, err);
    const char* const outs[2] = {"marovex:outport 0", "marovex:outport 1"};
    if (!WaitFor([&] { return jack_port_by_name(recorder.client, outs[1]) != nullptr || !editor.Running(); }, 30) ||
        !editor.Running()) {
        return Fail("the editor's JACK ports did not appear: " + testfiles::ReadAll(err));
    }
    // The ports exist before the editor's client is active, and JACK connects only active clients.
    for (int c = 0; c < 2; ++c) {
        const auto connected = [&] {
            const int result = jack_connect(recorder.client, outs[c], jack_port_name(recorder.ports[c]));
            return result == 0 || result == EEXIST;
        };
        if (!WaitFor(connected, 10)) {
            return Fail(std::string("cannot connect ") + outs[c] + ": " + testfiles::ReadAll(err));
        }
    }
    constexpr int kPeriods = kRecordFrames / kPeriod;
    Walk walk;
    bool xrun = false;
    int attempts = 0;
    std::string takes;
    while (attempts < 5) {
        ++attempts;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // past the connection's cycle
        recorder.filled = 0;
        recorder.done = false;
        const int xrunsBefore = recorder.xruns.load();
        recorder.armed.store(true, std::memory_order_release);
        if (!WaitFor([&] { return recorder.done.load(std::memory_order_acquire); }, 30)) {
            return Fail("the recording did not finish");
        }
        recorder.armed = false;
        xrun = recorder.xruns.load() != xrunsBefore;
        walk = WalkRecording(expected, recorder.kept);
        takes += "\n  take " + std::to_string(attempts) + (xrun ? " (xrun)" : "") + ": " + Describe(walk);
        if (!xrun || walk.continuing == kPeriods - 1) break;  // a take without an xrun decides
    }
    const bool whole = walk.continuing == kPeriods - 1;  // every sample compared: nothing hidden
    xrun = xrun && !whole;
    if (!xrun && !whole) {
        return Fail("a recording without an xrun is not the processed loop bit for bit:" + takes);
    }
    // A machine too busy for one clean take in five: the plug-in's output must still be the processed
    // stream, in order, over most of the recording, with a second of it unbroken.
    if (xrun && (walk.unmatched > kPeriods / 10 || walk.longestRun < kPeriods / 2)) {
        return Fail("every take had an xrun, and the last is too broken to compare:" + takes);
    }
    const long start = walk.start;

    const int status = editor.Stop(SIGTERM);
    const std::string said = testfiles::ReadAll(err);
    if (status != 0) return Fail("the editor ended with " + std::to_string(status) + ": " + said);
    const size_t summary = said.find("sound through JACK");
    if (summary == std::string::npos || said.find("latency", summary) == std::string::npos ||
        said.find("xrun", summary) == std::string::npos) {
        return Fail("no sound summary on exit: " + said);
    }
    if (xrun) {
        std::printf("PASS (every take had an xrun): the last recording is the processed loop in order, bit for bit in "
                    "the periods that reached the recorder (%s)%s\n%s",
                    Describe(walk).c_str(), takes.c_str(), said.substr(summary).c_str());
        return 0;
    }
    std::printf("PASS: 2 s recorded from the editor's JACK ports equal the processed loop bit for bit (from %.3f s "
                "into it, %d recording(s)); %s",
                double(start) / kRate, attempts, said.substr(summary).c_str());
    return 0;
}

}  // namespace

int main() { return Run(); }
