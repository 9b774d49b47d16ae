// The editor's sound: the plug-in's output played on the desktop's audio device, through RtAudio
// (JACK when a server runs, else PulseAudio, else the default ALSA device).
//
// The device's callback does the processing itself: it asks the source for a block of input, has the
// instance process it in the callback's thread (MarovexInstance::ProcessInCaller, real-time safe) and
// hands the output straight to the device. The device's clock paces the plug-in, so there is no
// second clock to drift against, no ring to fill or drain, and no latency beyond the device's own;
// the callback allocates, locks and blocks nothing (its input buffers are made when the device is
// opened; counters are atomics).
//
// Threading: open, summarise and destroy on the user-interface thread; the callback runs on the
// device's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MarovexAudioSource;
class MarovexInstance;
class RtAudio;

namespace marovex::cli {

enum class AudioChoice { Auto, Jack, Default, Off };  // Off: "none"

// "auto", "jack", "default" or "none"; false for anything else.
bool ParseAudioChoice(const std::string& text, AudioChoice* choice);

class AudioOutput {
public:
    // Opens the chosen device at the instance's sample rate with two output channels (a mono
    // instance is heard on both) and starts it. Null, and the reason in *why, when no device can be
    // opened. The instance must outlive the output, and nothing else may process it meanwhile.
    static std::unique_ptr<AudioOutput> Open(AudioChoice choice, MarovexInstance& instance,
                                             std::shared_ptr<MarovexAudioSource> source, std::string* why);
    // Stops and closes the device.
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // One line for the summary: where the sound went, the device's period and latency, the xruns
    // (blocks the device reported late) and the seconds played.
    std::string Summary() const;
    uint64_t Xruns() const { return mXruns.load(std::memory_order_relaxed); }

private:
    AudioOutput(MarovexInstance& instance, std::shared_ptr<MarovexAudioSource> source);
    bool Start(int api, std::string* why);
    static int Callback(void* out, void* in, unsigned int frames, double time, unsigned int status, void* self);
    void Render(float* out, unsigned int frames) noexcept;

    MarovexInstance& mInstance;
    std::shared_ptr<MarovexAudioSource> mSource;
    std::unique_ptr<RtAudio> mDevice;
    std::string mWhere;  // "JACK (client marovex)", "PulseAudio", "ALSA default device"
    unsigned int mPeriod = 0;
    long mLatencyFrames = 0;
    int mSampleRate = 0;
    int mInputs = 0;
    int mOutputs = 0;
    // The callback's own: the input of one chunk, made when the device opens.
    std::vector<std::vector<float>> mIn;
    std::vector<float*> mInPointers;
    std::atomic<uint64_t> mXruns{0};
    std::atomic<uint64_t> mFrames{0};
    std::atomic<uint64_t> mFailedBlocks{0};
};

}  // namespace marovex::cli
