// The marovex program against what a hostile user can hand it: outputs that are inputs, links or
// protected files, leftovers of killed runs, endless and stalled pipes, stop signals, a closed or full
// standard error, damaged states, files cut short, impossible sample rates. Each case runs the built
// program in a folder of its own and checks its exit status, its messages and every file it leaves.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sndfile.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "RunProgram.h"
#include "TestFiles.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& path) { return testfiles::ReadAll(path); }

// A mono or stereo test signal of `frames` frames written with libsndfile in `format`.
void WriteSignal(const std::string& path, int format, int channels, int frames, int rate = 48000) {
    SF_INFO info = {};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<double> samples(size_t(frames) * channels);
    uint32_t state = 12345u;
    for (double& s : samples) {
        state = state * 1664525u + 1013904223u;
        // Values no float holds exactly, so a round through float would show.
        s = 0.4 * (double(state) / 4294967296.0 - 0.5) + 1e-12;
    }
    EXPECT_EQ(sf_writef_double(f, samples.data(), frames), frames);
    sf_close(f);
}

struct SoundInfo {
    bool readable = false;
    int channels = 0, rate = 0, format = 0;
    std::vector<double> samples;
};

SoundInfo ReadSound(const std::string& path) {
    SoundInfo s;
    SF_INFO info = {};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr) return s;
    s.readable = true;
    s.channels = info.channels;
    s.rate = info.samplerate;
    s.format = info.format;
    std::vector<double> buffer(4096 * size_t(info.channels));
    for (sf_count_t n; (n = sf_readf_double(f, buffer.data(), 4096)) > 0;) {
        s.samples.insert(s.samples.end(), buffer.begin(), buffer.begin() + n * info.channels);
    }
    sf_close(f);
    return s;
}

enum class ErrorOut { File, Closed, Full };

struct RunOptions {
    std::string stdinFile;      // a file in the work folder as standard input ("": /dev/null)
    bool stdinAsPipe = false;   // ... fed through a pipe instead of opened as a file
    ErrorOut errorOut = ErrorOut::File;
    uid_t uid = uid_t(-1);      // run as this user (the test runs as root)
    gid_t gid = gid_t(-1);
};

struct Child {
    pid_t pid = -1;
    int feed = -1;  // the write end of standard input's pipe, when one is kept open
    std::thread feeder;
};

struct Result {
    int status = -1;  // exit status, or 128 + the signal
    std::string err;
};

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        ::signal(SIGPIPE, SIG_IGN);  // a feeding pipe whose reader ended answers EPIPE
        ASSERT_FALSE(mFolder.Dir().empty());
        mDir = mFolder.Dir() / "work";
        fs::create_directory(mDir);
        ::chmod(mFolder.Dir().c_str(), 0755);
    }

    std::string P(const std::string& name) const { return (mDir / name).string(); }
    std::string ErrPath() const { return (mFolder.Dir() / "stderr").string(); }

    // Starts the program. With `stdinAsPipe`, the file is written into the pipe by a thread unless
    // `keepFeed`, which leaves the pipe's write end to the caller.
    Child Start(const std::vector<std::string>& args, const RunOptions& o = {}, bool keepFeed = false) {
        Child c;
        int pipeFds[2] = {-1, -1};
        if (o.stdinAsPipe && ::pipe(pipeFds) != 0) ADD_FAILURE() << "pipe";
        std::vector<std::string> all = {MAROVEX_CLI_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        const std::string err = ErrPath();
        const std::string in = o.stdinFile.empty() || o.stdinAsPipe ? "/dev/null" : P(o.stdinFile);
        std::vector<std::string> env = runprogram::EnvironmentWithLeakSuppressions(MAROVEX_GUI_LEAKS_SUPPRESSIONS);
        std::vector<char*> argv, envp;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        c.pid = ::fork();
        if (c.pid == 0) {
            if (o.stdinAsPipe) {
                ::dup2(pipeFds[0], 0);
                ::close(pipeFds[0]);
                ::close(pipeFds[1]);
            } else {
                const int fd = ::open(in.c_str(), O_RDONLY);
                ::dup2(fd, 0);
                ::close(fd);
            }
            const int out = ::open("/dev/null", O_WRONLY);
            ::dup2(out, 1);
            ::close(out);
            if (o.errorOut == ErrorOut::Closed) {
                ::close(2);
            } else {
                const int fd = o.errorOut == ErrorOut::Full ? ::open("/dev/full", O_WRONLY)
                                                            : ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
                ::dup2(fd, 2);
                ::close(fd);
            }
            if (::chdir(mDir.c_str()) != 0) ::_exit(120);
            if (o.gid != gid_t(-1) && (::setgroups(0, nullptr), ::setgid(o.gid)) != 0) ::_exit(121);
            if (o.uid != uid_t(-1) && ::setuid(o.uid) != 0) ::_exit(122);
            ::signal(SIGPIPE, SIG_DFL);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (o.stdinAsPipe) {
            ::close(pipeFds[0]);
            c.feed = pipeFds[1];
            if (!keepFeed) {
                const std::string bytes = ReadText(P(o.stdinFile));
                const int fd = c.feed;
                c.feed = -1;
                c.feeder = std::thread([fd, bytes] {
                    size_t done = 0;
                    while (done < bytes.size()) {
                        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
                        if (n <= 0) break;
                        done += size_t(n);
                    }
                    ::close(fd);
                });
            }
        }
        return c;
    }

    // Waits for the program; one that has not ended after a minute is killed and counted a hang.
    Result Wait(Child& c) {
        Result r;
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (::waitpid(c.pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the program hung; killed";
                ::kill(c.pid, SIGKILL);
                ::waitpid(c.pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (c.feed >= 0) ::close(c.feed);
        if (c.feeder.joinable()) c.feeder.join();
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.err = ReadText(ErrPath());
        return r;
    }

    Result Run(const std::vector<std::string>& args, const RunOptions& o = {}) {
        Child c = Start(args, o);
        return Wait(c);
    }

    // Every name in the work folder, hidden ones included, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(mDir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    bool AnyTemporary() const {
        for (const std::string& n : Names()) {
            if (n.find(".marovex-") != std::string::npos) return true;
        }
        return false;
    }

    testfiles::TempFolder mFolder;
    fs::path mDir;
};

#define EXPECT_STATUS(result, expected) EXPECT_EQ((result).status, expected) << "stderr: " << (result).err

// ---------------------------------------------------------------------------------------------------
// Files destroyed or exposed

TEST_F(Hostile, TheEditorsSnapshotAndSavedStateFollowTheOutputRulesOfProcess) {
    WriteSignal(P("song.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 4800);
    const std::string song = ReadText(P("song.wav"));
    ASSERT_EQ(Run({"process", "song.wav", "x.wav", "--save-state", "keep.state", "-q"}).status, 0);
    const std::string state = ReadText(P("keep.state"));

    // No output is an input, whatever else the command line says.
    EXPECT_STATUS(Run({"editor", "song.wav", "--snapshot", "song.wav"}), 2);
    EXPECT_STATUS(Run({"editor", "--load-state", "keep.state", "--snapshot", "keep.state"}), 2);
    EXPECT_STATUS(Run({"editor", "--load-state", "keep.state", "--save-state", "keep.state", "--snapshot",
                       "keep.state", "--overwrite"}), 2);
    const Result audioAsState = Run({"editor", "song.wav", "--save-state", "song.wav", "--snapshot", "p.png"});
    EXPECT_STATUS(audioAsState, 2);
    EXPECT_NE(audioAsState.err.find("is the input audio"), std::string::npos) << audioAsState.err;
    EXPECT_EQ(ReadText(P("song.wav")), song);
    EXPECT_EQ(ReadText(P("keep.state")), state);
    EXPECT_FALSE(fs::exists(P("p.png")));

    // An existing file, also behind a link, is replaced only with --overwrite; the link stays a link.
    std::ofstream(P("other.txt")) << "keep";
    fs::create_symlink("other.txt", P("link.png"));
    EXPECT_STATUS(Run({"editor", "--snapshot", "link.png"}), 1);
    EXPECT_STATUS(Run({"editor", "--snapshot", "new.png", "--save-state", "other.txt"}), 1);
    EXPECT_EQ(ReadText(P("other.txt")), "keep");
    EXPECT_FALSE(fs::exists(P("new.png")));
    EXPECT_STATUS(Run({"editor", "--snapshot", "link.png", "--overwrite"}), 0);
    EXPECT_TRUE(fs::is_symlink(P("link.png")));
    EXPECT_EQ(ReadText(P("other.txt")).substr(1, 3), "PNG");

    // The state loaded may be saved back over itself: that is the session being edited.
    EXPECT_STATUS(Run({"editor", "--load-state", "keep.state", "--save-state", "keep.state", "--snapshot", "q.png",
                       "--set", "Width=0.25"}),
                  0);
    EXPECT_NE(ReadText(P("keep.state")), state);
    EXPECT_FALSE(AnyTemporary());
}

// The module the program loads is an input too: even --overwrite never writes an output over it, by
// its own name or through a link, in any command that writes files.
TEST_F(Hostile, NoOutputReplacesThePlugInModuleItLoads) {
    WriteSignal(P("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 2000);
    const std::string module = ReadText(MAROVEX_MODULE_PATH);
    for (const char* name : {"mod.wav", "mod.png", "mod.state"}) fs::copy_file(MAROVEX_MODULE_PATH, P(name));
    fs::create_symlink("mod.wav", P("link.wav"));
    const std::vector<std::vector<std::string>> runs = {
        {"process", "in.wav", "mod.wav", "--plugin", "mod.wav", "--overwrite", "-q"},
        {"process", "in.wav", "link.wav", "--plugin", "mod.wav", "--overwrite", "-q"},
        {"process", "in.wav", "out.wav", "--plot", "mod.png", "--plugin", "mod.png", "--overwrite", "-q"},
        {"editor", "--snapshot", "mod.png", "--plugin", "mod.png", "--overwrite"},
        {"editor", "--snapshot", "p.png", "--save-state", "mod.state", "--plugin", "mod.state", "--overwrite"},
        {"plot-response", "mod.png", "--plugin", "mod.png", "--overwrite"},
    };
    for (const std::vector<std::string>& args : runs) {
        const Result r = Run(args);
        EXPECT_STATUS(r, 2);
        EXPECT_NE(r.err.find("is the plug-in module; nothing was written"), std::string::npos) << r.err;
    }
    for (const char* name : {"mod.wav", "mod.png", "mod.state"}) EXPECT_EQ(ReadText(P(name)), module) << name;
    EXPECT_FALSE(fs::exists(P("out.wav")));
    EXPECT_FALSE(fs::exists(P("p.png")));
    // The same copy still serves as the module where it is not written over.
    EXPECT_STATUS(Run({"process", "in.wav", "out.wav", "--plugin", "mod.wav", "-q"}), 0);
    EXPECT_FALSE(AnyTemporary());
}

TEST_F(Hostile, OverwriteKeepsModeAndOwnerAndLeavesAReadOnlyFileAlone) {
    WriteSignal(P("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 2000);
    std::ofstream(P("private.wav")) << "old";
    ::chmod(P("private.wav").c_str(), 0600);
    const bool root = ::geteuid() == 0;
    const uid_t nobody = 65534;
    if (root) {
        ASSERT_EQ(::chown(P("private.wav").c_str(), nobody, 1), 0);
    }
    EXPECT_STATUS(Run({"process", "in.wav", "private.wav", "--overwrite", "-q"}), 0);
    struct stat st;
    ASSERT_EQ(::stat(P("private.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(st.st_uid, nobody);
        EXPECT_EQ(st.st_gid, 1u);
    }
    EXPECT_TRUE(ReadSound(P("private.wav")).readable);

    // A file the user could not write stays as it is, --overwrite or not. (Root may write anything, so
    // the program runs as an ordinary user there.)
    RunOptions asUser;
    if (root) {
        asUser.uid = nobody;
        asUser.gid = 65534;
        ::chown(mDir.c_str(), nobody, 65534);
        ::chown(P("in.wav").c_str(), nobody, 65534);
    }
    std::ofstream(P("ro.wav")) << "read-only";
    ::chmod(P("ro.wav").c_str(), 0444);
    if (root) ::chown(P("ro.wav").c_str(), nobody, 65534);
    const Result refused = Run({"process", "in.wav", "ro.wav", "--overwrite", "-q"}, asUser);
    EXPECT_STATUS(refused, 1);
    EXPECT_NE(refused.err.find("read-only"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadText(P("ro.wav")), "read-only");
    EXPECT_FALSE(AnyTemporary());
}

TEST_F(Hostile, TheDemoReplacesOnlyItsOwnEarlierOutput) {
    std::ofstream(P("precious.txt")) << "precious";
    fs::create_symlink("precious.txt", P("marovex-demo.wav"));
    EXPECT_STATUS(Run({"process", "-q"}), 1);
    EXPECT_EQ(ReadText(P("precious.txt")), "precious");
    fs::remove(P("marovex-demo.wav"));
    // A file of that name that no demo run wrote.
    WriteSignal(P("marovex-demo.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 1000);
    const std::string users = ReadText(P("marovex-demo.wav"));
    EXPECT_STATUS(Run({"process", "-q"}), 1);
    EXPECT_EQ(ReadText(P("marovex-demo.wav")), users);
    // The demo's own output is remade, as before.
    fs::remove(P("marovex-demo.wav"));
    EXPECT_STATUS(Run({"process", "-q"}), 0);
    EXPECT_STATUS(Run({"process", "-q", "--set", "Width=0.2"}), 0);
}

TEST_F(Hostile, TemporariesOfKilledRunsAreRemovedByTheNextRunIntoTheFolder) {
    WriteSignal(P("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 2000);
    const auto make = [&](const std::string& name, bool old) {
        std::ofstream(P(name)) << "left over";
        if (old) {
            struct timeval times[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
            ::utimes(P(name).c_str(), times);
        }
    };
    make(".song.wav.marovex-Ab3xY9", true);   // stale: removed
    make(".take.wav.marovex-Qq1234", true);   // locked by a run still writing it: kept
    make(".new.wav.marovex-Zz9876", false);   // just written: kept
    make(".other.marovex-tooLong7", true);    // not our pattern: kept
    make("song.wav.marovex-Ab3xY8", true);    // not hidden: kept
    const int locked = ::open(P(".take.wav.marovex-Qq1234").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(locked, LOCK_EX), 0);
    const Result run = Run({"process", "in.wav", "out.wav", "-q"});
    ::close(locked);
    EXPECT_STATUS(run, 0);
    EXPECT_NE(run.err.find("removed '"), std::string::npos) << run.err;
    EXPECT_EQ(Names(), (std::vector<std::string>{".new.wav.marovex-Zz9876", ".other.marovex-tooLong7",
                                                 ".take.wav.marovex-Qq1234", "in.wav", "out.wav",
                                                 "song.wav.marovex-Ab3xY8"}));
}

// ---------------------------------------------------------------------------------------------------
// Hangs and crashes

TEST_F(Hostile, FarAutomationIsRefusedAndStopSignalsEndEveryLongLoop) {
    WriteSignal(P("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 4800);
    const Result far = Run({"process", "in.wav", "out.wav", "--automate", "OutGain=0:0.2,1e15:0.8"});
    EXPECT_STATUS(far, 2);
    EXPECT_NE(far.err.find("1000000000000000 s"), std::string::npos) << far.err;
    EXPECT_STATUS(Run({"process", "in.wav", "out.wav", "--automate", "OutGain=0:0.2,1e300:0.8"}), 2);
    EXPECT_EQ(Names(), std::vector<std::string>{"in.wav"});

    // A WAV stream of unknown length: the header and audio, then either audio for as long as the
    // program reads or nothing more, the pipe kept open.
    WriteSignal(P("head.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 0);
    std::string header = ReadText(P("head.wav"));
    ASSERT_GE(header.size(), 44u);
    for (size_t at : {size_t(4), header.size() - 4}) std::memset(&header[at], 0xFF, 4);  // sizes unknown
    const auto waitForTemporary = [&](pid_t pid) {
        for (int i = 0; i < 6000 && !AnyTemporary() && ::waitpid(pid, nullptr, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return AnyTemporary();
    };
    for (const int signal : {SIGTERM, SIGINT}) {
        for (const bool endless : {true, false}) {
            SCOPED_TRACE(std::string(endless ? "endless" : "stalled") + " stream, signal " + std::to_string(signal));
            RunOptions piped;
            piped.stdinAsPipe = true;
            Child c = Start({"process", "-", "out.wav", "-q", "--automate", "OutGain=0:0.2,1:0.8"}, piped, true);
            const int fd = c.feed;
            std::thread feeder([fd, header, endless] {
                if (::write(fd, header.data(), header.size()) != ssize_t(header.size())) return;
                const std::vector<char> silence(1 << 16, 0);
                for (int i = 0; (endless || i < 4) && ::write(fd, silence.data(), silence.size()) > 0; ++i) {
                }
            });
            EXPECT_TRUE(waitForTemporary(c.pid));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::kill(c.pid, signal);
            const Result r = Wait(c);  // closes the pipe, which ends the feeder
            feeder.join();
            EXPECT_STATUS(r, 128 + signal);
            EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
            EXPECT_EQ(Names(), (std::vector<std::string>{"head.wav", "in.wav"}));
        }
    }
}

TEST_F(Hostile, AClosedOrFullStandardErrorNeverFailsTheRun) {
    WriteSignal(P("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 4800);
    // With every kind of message: warnings, the summary, the settings.
    const std::vector<std::string> args = {"process", "in.wav",    "out.wav",   "--set",      "Width=0.3",
                                           "--automate", "Adj=0:0.4", "--automate", "Adj=0:0.6", "--overwrite"};
    ASSERT_EQ(Run(args).status, 0);
    const std::string expected = ReadText(P("out.wav"));
    for (const ErrorOut errorOut : {ErrorOut::Closed, ErrorOut::Full}) {
        RunOptions o;
        o.errorOut = errorOut;
        fs::remove(P("out.wav"));
        EXPECT_EQ(Run(args, o).status, 0);
        EXPECT_EQ(ReadText(P("out.wav")), expected);  // no message went into the file either
        // A failure stays a failure, not a crash.
        EXPECT_EQ(Run({"process", "in.wav", "out.wav"}, o).status, 1);
        EXPECT_EQ(Run({"process", "in.wav", "out.wav", "--bits", "7"}, o).status, 2);
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"in.wav", "out.wav"}));
}

// ---------------------------------------------------------------------------------------------------
// Silent wrong results

// The data offset of the value of `id`'s entry in a state record (56-byte header, then the data).
size_t ValueOffset(const std::string& record, const std::string& id) {
    const size_t tag = record.find("d_" + id + std::string(1, '\0'));
    if (tag == std::string::npos) return 0;
    const size_t data = tag - 56;
    return 56 + ((data + 2 + id.size() + 1 + 3) & ~size_t(3));
}

void PutBigEndianDouble(std::string& record, size_t at, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    for (int i = 0; i < 8; ++i) record[at + size_t(i)] = char(bits >> (56 - 8 * i));
}

TEST_F(Hostile, AStateThePluginAppliesOnlyInPartIsReported) {
    WriteSignal(P("in.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 4800);
    ASSERT_EQ(Run({"process", "in.wav", "a.wav", "--save-state", "good.state", "-q", "--set", "Width=0.3"}).status, 0);
    std::string record = ReadText(P("good.state"));
    const Result clean = Run({"process", "in.wav", "b.wav", "--load-state", "good.state", "-q", "--strict"});
    EXPECT_STATUS(clean, 0);
    EXPECT_EQ(clean.err, "");

    // One-byte damage of the kinds a stored file suffers: a name, a NaN, a value beyond the range.
    const size_t name = record.find("FreqA");
    ASSERT_NE(name, std::string::npos);
    record[name + 4] = 'X';
    PutBigEndianDouble(record, ValueOffset(record, "Width"), std::nan(""));
    PutBigEndianDouble(record, ValueOffset(record, "Dyn"), 1.7);
    std::ofstream(P("bad.state"), std::ios::binary) << record;
    const Result partly = Run({"process", "in.wav", "c.wav", "--load-state", "bad.state", "-q"});
    EXPECT_STATUS(partly, 0);
    for (const char* expected : {"'FreqX' names no parameter (did you mean 'FreqA'?); not applied",
                                 "no entry for 'FreqA'", "'Width' holds NaN; not applied",
                                 "'Dyn' holds 1.7, which the parameter does not take; applied as 1"}) {
        EXPECT_NE(partly.err.find(expected), std::string::npos) << expected << " in " << partly.err;
    }
    const Result strict = Run({"process", "in.wav", "d.wav", "--load-state", "bad.state", "-q", "--strict"});
    EXPECT_STATUS(strict, 1);
    EXPECT_FALSE(fs::exists(P("d.wav")));
    // The editor says the same.
    const Result editor = Run({"editor", "--load-state", "bad.state", "--snapshot", "e.png"});
    EXPECT_STATUS(editor, 0);
    EXPECT_NE(editor.err.find("'Width' holds NaN"), std::string::npos) << editor.err;
}

TEST_F(Hostile, Bypassed64BitFloatComesBackUnchanged) {
    WriteSignal(P("in.wav"), SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 2, 48000);
    EXPECT_STATUS(Run({"process", "in.wav", "out.wav", "--bypass", "-q"}), 0);
    const SoundInfo in = ReadSound(P("in.wav")), out = ReadSound(P("out.wav"));
    EXPECT_EQ(out.format & SF_FORMAT_SUBMASK, SF_FORMAT_DOUBLE);
    ASSERT_EQ(out.samples.size(), in.samples.size());
    EXPECT_EQ(std::memcmp(out.samples.data(), in.samples.data(), in.samples.size() * sizeof(double)), 0);
}

TEST_F(Hostile, EmptyCutAndDamagedInputsComeOutReadableAndAreReported) {
    // No frames at all, written as FLAC: a FLAC file that holds no samples.
    WriteSignal(P("empty.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 0);
    EXPECT_STATUS(Run({"process", "empty.wav", "empty.flac", "-q"}), 0);
    const SoundInfo empty = ReadSound(P("empty.flac"));
    EXPECT_TRUE(empty.readable);
    EXPECT_TRUE(empty.samples.empty());

    // A WAV cut short, through a pipe as from a file.
    WriteSignal(P("whole.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 9600);
    std::string whole = ReadText(P("whole.wav"));
    std::ofstream(P("cut.wav"), std::ios::binary) << whole.substr(0, 44 + 4 * 5000);
    RunOptions piped;
    piped.stdinFile = "cut.wav";
    piped.stdinAsPipe = true;
    const Result pipedCut = Run({"process", "-", "p.wav", "-q"}, piped);
    EXPECT_STATUS(pipedCut, 0);
    EXPECT_NE(pipedCut.err.find("standard input is cut short: its header promises 9600 frames"), std::string::npos)
        << pipedCut.err;

    // A whole WAV longer than a pipe's reader keeps in memory comes through whole.
    WriteSignal(P("long.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 400000);
    RunOptions longPipe;
    longPipe.stdinFile = "long.wav";
    longPipe.stdinAsPipe = true;
    const Result longRun = Run({"process", "-", "l.wav", "-q"}, longPipe);
    EXPECT_STATUS(longRun, 0);
    EXPECT_EQ(longRun.err, "");
    EXPECT_EQ(ReadSound(P("l.wav")).samples.size(), size_t(2 * 400000));

    // A FLAC file cut inside its audio frames: what decodes is processed, with a warning.
    WriteSignal(P("whole.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 96000);
    whole = ReadText(P("whole.flac"));
    std::ofstream(P("cut.flac"), std::ios::binary) << whole.substr(0, whole.size() * 3 / 4);
    for (const bool throughPipe : {false, true}) {
        SCOPED_TRACE(throughPipe ? "pipe" : "file");
        RunOptions o;
        o.stdinFile = "cut.flac";
        o.stdinAsPipe = throughPipe;
        const Result r = Run({"process", throughPipe ? "-" : "cut.flac", "f.wav", "-q", "--overwrite"}, o);
        EXPECT_STATUS(r, 0);
        const SoundInfo f = ReadSound(P("f.wav"));
        EXPECT_GT(f.samples.size(), size_t(2 * 48000));
        EXPECT_LT(f.samples.size(), size_t(2 * 96000));
        EXPECT_NE(r.err.find("cut short"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("96000"), std::string::npos) << r.err;
    }
}

TEST_F(Hostile, ImpossibleSampleRatesAreRefusedInWords) {
    WriteSignal(P("a.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 1000);
    WriteSignal(P("w.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 1000);
    std::string aiff = ReadText(P("a.aiff")), wav = ReadText(P("w.wav"));
    const size_t comm = aiff.find("COMM"), fmt = wav.find("fmt ");
    ASSERT_NE(comm, std::string::npos);
    ASSERT_NE(fmt, std::string::npos);
    std::memset(&aiff[comm + 16], 0, 10);  // the 80-bit rate
    std::memset(&wav[fmt + 12], 0, 4);
    std::ofstream(P("rate0.aiff"), std::ios::binary) << aiff;
    std::ofstream(P("rate0.wav"), std::ios::binary) << wav;
    for (const char* name : {"rate0.aiff", "rate0.wav"}) {
        for (const bool throughPipe : {false, true}) {
            SCOPED_TRACE(std::string(name) + (throughPipe ? " through a pipe" : ""));
            RunOptions o;
            o.stdinFile = name;
            o.stdinAsPipe = throughPipe;
            const Result r = Run({"process", throughPipe ? "-" : name, "out.wav"}, o);
            EXPECT_STATUS(r, 1);
            EXPECT_NE(r.err.find("gives a sample rate of 0 Hz"), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("SF_INFO"), std::string::npos) << r.err;
        }
    }
    EXPECT_FALSE(fs::exists(P("out.wav")));
}

}  // namespace
