// Throughput of `marovex process` against the bare kernel, measured in one run (a benchmark, not a
// test). Writes a 60 s stereo 48 kHz WAV (32-bit float, the demo mix repeated), then, for blocks of
// 32, 512 (the program's default) and 4096 frames:
//   - the kernel alone over the same 60 s of audio in memory (CPU time of this thread);
//   - the program run as a child on the file (`marovex process IN OUT --block N --quiet --overwrite`),
//     counting the child's user + system CPU time of all its threads (start-up, reading, decoding,
//     processing, encoding, writing, syncing), and its wall time from fork to exit.
// Each figure is the best of several repetitions. Prints ns per frame, program / kernel per block size
// in CPU and in wall time, the program's throughput at 32-frame blocks as a share of 4096-frame blocks,
// a summary at the default block against the aim of 1.3 times the kernel, and what every run pays
// besides processing: start-up (a run on a 10 ms file) and a plain copy of the file through libsndfile.
// CPU time does not count the load other programs put on the machine; wall time does, so the load
// average is printed beside it.
//
// Usage: marovex_process_bench [PROGRAM] [REPETITIONS]   (PROGRAM: the built marovex by default)
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "DemoSignal.h"
#include "BenchKernel.h"

namespace {

constexpr int32_t kRate = 48000;
constexpr int64_t kFrames = 60 * int64_t(kRate);
constexpr int32_t kBlocks[] = {32, 512, 4096};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

double Seconds(const timeval& t) { return double(t.tv_sec) + 1e-6 * double(t.tv_usec); }

// 60 s of the demo mix, interleaved stereo.
std::vector<float> Signal() {
    const MarovexDemoSignal demo = MakeMarovexDemoSignal(kRate);
    std::vector<float> s(size_t(kFrames) * 2);
    for (size_t i = 0; i < s.size(); ++i) s[i] = demo.samples[i % demo.samples.size()];
    return s;
}

// CPU seconds of the kernel over the whole signal in blocks of `block` frames, with the default
// parameter values and flush-to-zero on (the host sets it too).
double KernelSeconds(const std::vector<float>& interleaved, int32_t block) {
    const size_t frames = static_cast<size_t>(kFrames), blockSize = static_cast<size_t>(block);
    std::vector<float> left(frames), right(frames), outL(blockSize), outR(blockSize);
    for (int64_t i = 0; i < kFrames; ++i) {
        left[size_t(i)] = interleaved[size_t(2 * i)];
        right[size_t(i)] = interleaved[size_t(2 * i + 1)];
    }
    BenchKernel k(static_cast<float>(kRate));
    k.outputs[0] = outL.data();
    k.outputs[1] = outR.data();
    const unsigned savedCsr = _mm_getcsr();
    _mm_setcsr(savedCsr | 0x8040u);
    float sink = 0.0f;
    const double start = ThreadCpuSeconds();
    for (int64_t at = 0; at < kFrames; at += block) {
        k.length = int32_t(std::min<int64_t>(block, kFrames - at));
        k.inputs[0] = &left[size_t(at)];
        k.inputs[1] = &right[size_t(at)];
        k.meter = 0.0f;
        k.Process();
        sink += outL[0] + k.meter;
    }
    const double seconds = ThreadCpuSeconds() - start;
    _mm_setcsr(savedCsr);
    if (sink == 12345.0f) std::printf(" ");  // keeps the work observable
    return seconds;
}

// The child's user + system CPU seconds and wall seconds, or a negative time when it failed.
struct ChildTimes {
    double cpu = -1.0;
    double wall = -1.0;
};

ChildTimes RunProgram(const std::string& program, const std::string& in, const std::string& out, int32_t block) {
    // A fresh output each time: replacing the last one would add the removal of its pages to the child.
    std::remove(out.c_str());
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0) return {};
    if (child == 0) {
        const std::string b = std::to_string(block);
        execl(program.c_str(), program.c_str(), "process", in.c_str(), out.c_str(), "--block", b.c_str(), "--quiet",
              "--overwrite", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    clock_gettime(CLOCK_MONOTONIC, &end);
    ChildTimes t;
    t.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    t.wall = double(end.tv_sec - start.tv_sec) + 1e-9 * double(end.tv_nsec - start.tv_nsec);
    return t;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

// CPU seconds of copying `in` to `out` through libsndfile in chunks of 16384 frames and syncing it:
// the file work the program cannot avoid, without any processing.
double CopySeconds(const std::string& in, const std::string& out) {
    std::remove(out.c_str());
    const double start = ProcessCpuSeconds();
    SF_INFO info{};
    SNDFILE* from = sf_open(in.c_str(), SFM_READ, &info);
    SNDFILE* to = from ? sf_open(out.c_str(), SFM_WRITE, &info) : nullptr;
    if (to == nullptr) return -1.0;
    std::vector<float> buffer(16384 * size_t(info.channels));
    sf_count_t n;
    while ((n = sf_readf_float(from, buffer.data(), 16384)) > 0) sf_writef_float(to, buffer.data(), n);
    sf_write_sync(to);
    sf_close(to);
    sf_close(from);
    return ProcessCpuSeconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string program = argc > 1 && argv[1][0] != '\0' ? argv[1] : MAROVEX_PROGRAM_PATH;
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    namespace fs = std::filesystem;
    std::string folderPattern = (fs::temp_directory_path() / "marovex-process-bench-XXXXXX").string();
    if (mkdtemp(folderPattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder(folderPattern);
    const std::string in = (folder / "in.wav").string(), out = (folder / "out.wav").string();

    const std::vector<float> signal = Signal();
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(in.c_str(), SFM_WRITE, &info);
    if (file == nullptr || sf_writef_float(file, signal.data(), kFrames) != kFrames || sf_close(file) != 0) {
        std::fprintf(stderr, "cannot write %s\n", in.c_str());
        return 1;
    }

    double load[3] = {0.0, 0.0, 0.0};
    getloadavg(load, 3);
    std::printf("marovex process of 60 s stereo 48 kHz 32-bit float WAV, best of %d (load average %.2f)\n",
                repetitions, load[0]);
    std::printf("program: %s\n\n", program.c_str());
    std::printf("block   kernel   program CPU   CPU / kernel   program wall   wall / kernel   (ns per frame)\n");
    constexpr int32_t kDefaultBlock = 512;
    const double perFrame = 1e9 / double(kFrames);
    struct Row {
        double kernel = 1e300, cpu = 1e300, wall = 1e300;
    };
    Row rows[std::size(kBlocks)];
    bool failed = false;
    for (size_t b = 0; b < std::size(kBlocks) && !failed; ++b) {
        const int32_t block = kBlocks[b];
        Row& row = rows[b];
        for (int r = 0; r < repetitions; ++r) {
            row.kernel = std::min(row.kernel, KernelSeconds(signal, block));
            const ChildTimes t = RunProgram(program, in, out, block);
            if (t.cpu < 0.0) {
                std::fprintf(stderr, "%s failed at --block %d\n", program.c_str(), block);
                failed = true;
                break;
            }
            row.cpu = std::min(row.cpu, t.cpu);
            row.wall = std::min(row.wall, t.wall);
        }
        if (failed) break;
        std::printf("%5d   %6.2f   %11.2f   %12.2f   %12.2f   %13.2f\n", block, row.kernel * perFrame,
                    row.cpu * perFrame, row.cpu / row.kernel, row.wall * perFrame, row.wall / row.kernel);
    }
    if (!failed) {
        // What every run pays besides processing: starting the program and loading the plug-in (a run on
        // a 10 ms file), and reading and writing the file.
        const std::string shortIn = (folder / "short.wav").string();
        SF_INFO shortInfo = info;
        SNDFILE* shortFile = sf_open(shortIn.c_str(), SFM_WRITE, &shortInfo);
        if (shortFile != nullptr) {
            sf_writef_float(shortFile, signal.data(), kRate / 100);
            sf_close(shortFile);
        }
        double startUpCpu = 1e300, startUpWall = 1e300, copy = 1e300;
        for (int r = 0; r < repetitions; ++r) {
            const ChildTimes t = RunProgram(program, shortIn, out, kDefaultBlock);
            if (t.cpu >= 0.0) {
                startUpCpu = std::min(startUpCpu, t.cpu);
                startUpWall = std::min(startUpWall, t.wall);
            }
            const double c = CopySeconds(in, out);
            if (c >= 0.0) copy = std::min(copy, c);
        }
        const Row& first = rows[0];
        const Row& last = rows[std::size(kBlocks) - 1];
        std::printf("\nprogram throughput, blocks of 32 / blocks of 4096: %.1f %% in CPU time, %.1f %% in wall time\n",
                    100.0 * last.cpu / first.cpu, 100.0 * last.wall / first.wall);
        std::printf("of which, per frame of the 60 s file: start-up %.2f ns CPU, %.2f ns wall (a run on a 10 ms "
                    "file); file copy through libsndfile with sync %.2f ns CPU\n",
                    startUpCpu * perFrame, startUpWall * perFrame, copy * perFrame);
        for (size_t b = 0; b < std::size(kBlocks); ++b) {
            if (kBlocks[b] != kDefaultBlock) continue;
            const Row& row = rows[b];
            constexpr double kAim = 1.3;
            std::printf("\ndefault block (%d): kernel %.2f ns per frame; program %.2f ns CPU (%.2fx, %s) and %.2f ns "
                        "wall (%.2fx, %s) against the aim of %.1fx\n",
                        kDefaultBlock, row.kernel * perFrame, row.cpu * perFrame, row.cpu / row.kernel,
                        row.cpu / row.kernel <= kAim ? "met" : "not met", row.wall * perFrame, row.wall / row.kernel,
                        row.wall / row.kernel <= kAim ? "met" : "not met", kAim);
            std::printf("without start-up: %.2fx CPU, %.2fx wall\n", (row.cpu - startUpCpu) / row.kernel,
                        (row.wall - startUpWall) / row.kernel);
        }
        getloadavg(load, 3);
        std::printf("load average at the end: %.2f\n", load[0]);
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return failed ? 1 : 0;
}
