// The editor's sound through RtAudio.
#include "AudioOutput.h"

#include <alsa/asoundlib.h>
#include <rtaudio/RtAudio.h>

#include <algorithm>
#include <cstring>

#include <fmt/core.h>

#include "MarovexHost.h"

namespace marovex::cli {

namespace {

// The most frames the callback hands the instance at once; a longer device period is processed in
// pieces (the instance splits them into its own blocks anyway).
constexpr unsigned int kChunk = 4096;
// What the callback asks of a device that lets us choose (JACK uses the server's period).
constexpr unsigned int kPreferredPeriod = 512;
constexpr int kDeviceChannels = 2;

// ALSA's library reports every device it cannot open on standard error; while a device is looked for,
// those reports are ours to give (one message when nothing opens).
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

struct AlsaQuiet {
    AlsaQuiet() { snd_lib_error_set_handler(&QuietAlsa); }
    ~AlsaQuiet() { snd_lib_error_set_handler(nullptr); }
};

}  // namespace

bool ParseAudioChoice(const std::string& text, AudioChoice* choice) {
    if (text == "auto") *choice = AudioChoice::Auto;
    else if (text == "jack") *choice = AudioChoice::Jack;
    else if (text == "default") *choice = AudioChoice::Default;
    else if (text == "none") *choice = AudioChoice::Off;
    else return false;
    return true;
}

AudioOutput::AudioOutput(MarovexInstance& instance, std::shared_ptr<MarovexAudioSource> source)
    : mInstance(instance), mSource(std::move(source)) {
    mSampleRate = static_cast<int>(instance.SampleRate());
    mInputs = instance.InputChannels();
    mOutputs = instance.OutputChannels();
    mIn.assign(static_cast<size_t>(std::max(mInputs, 1)), std::vector<float>(kChunk));
    for (auto& channel : mIn) mInPointers.push_back(channel.data());
}

AudioOutput::~AudioOutput() {
    if (!mDevice) return;
    try {
        if (mDevice->isStreamRunning()) mDevice->stopStream();
        if (mDevice->isStreamOpen()) mDevice->closeStream();
    } catch (const RtAudioError&) {
        // A device that went away is closed already.
    }
}

std::unique_ptr<AudioOutput> AudioOutput::Open(AudioChoice choice, MarovexInstance& instance,
                                               std::shared_ptr<MarovexAudioSource> source, std::string* why) {
    if (choice == AudioChoice::Off) {
        *why = "no sound asked for (--audio none)";
        return nullptr;
    }
    if (instance.OutputChannels() < 1 || instance.OutputChannels() > kDeviceChannels) {
        *why = "the instance has " + std::to_string(instance.OutputChannels()) + " outputs";
        return nullptr;
    }
    const AlsaQuiet quiet;
    std::unique_ptr<AudioOutput> output(new AudioOutput(instance, std::move(source)));
    std::vector<RtAudio::Api> apis;
    if (choice == AudioChoice::Auto || choice == AudioChoice::Jack) apis.push_back(RtAudio::UNIX_JACK);
    if (choice == AudioChoice::Auto || choice == AudioChoice::Default) {
        apis.push_back(RtAudio::LINUX_PULSE);
        apis.push_back(RtAudio::LINUX_ALSA);
    }
    std::string reasons;
    for (RtAudio::Api api : apis) {
        std::string reason;
        if (output->Start(static_cast<int>(api), &reason)) return output;
        reasons += (reasons.empty() ? "" : "; ") + reason;
    }
    *why = reasons;
    return nullptr;
}

bool AudioOutput::Start(int apiNumber, std::string* why) {
    const auto api = static_cast<RtAudio::Api>(apiNumber);
    const char* name = api == RtAudio::UNIX_JACK ? "JACK" : api == RtAudio::LINUX_PULSE ? "PulseAudio" : "ALSA";
    try {
        auto device = std::make_unique<RtAudio>(api);
        device->showWarnings(false);
        if (device->getCurrentApi() != api) {
            *why = std::string(name) + " is not available";
            return false;
        }
        if (device->getDeviceCount() == 0) {
            *why = api == RtAudio::UNIX_JACK ? "no JACK server is running" : std::string(name) + " has no device";
            return false;
        }
        RtAudio::StreamParameters out;
        out.deviceId = device->getDefaultOutputDevice();
        out.nChannels = kDeviceChannels;
        RtAudio::StreamOptions options;
        options.flags = RTAUDIO_NONINTERLEAVED | RTAUDIO_SCHEDULE_REALTIME;
        if (api == RtAudio::LINUX_ALSA) options.flags |= RTAUDIO_ALSA_USE_DEFAULT;
        options.streamName = "marovex";  // the JACK client's name
        unsigned int period = kPreferredPeriod;
        device->openStream(&out, nullptr, RTAUDIO_FLOAT32, static_cast<unsigned int>(mSampleRate), &period,
                           &AudioOutput::Callback, this, &options);
        mPeriod = period;
        mDevice = std::move(device);
        mDevice->startStream();
        mLatencyFrames = mDevice->getStreamLatency();
        mWhere = api == RtAudio::UNIX_JACK    ? std::string("JACK (client ") + options.streamName + ")"
                 : api == RtAudio::LINUX_PULSE ? std::string("PulseAudio")
                                               : std::string("the default ALSA device");
        return true;
    } catch (const RtAudioError& e) {
        std::string message = e.getMessage();
        while (!message.empty() && (message.back() == '\n' || message.back() == '.')) message.pop_back();
        *why = std::string(name) + ": " + message;
        mDevice.reset();
        return false;
    }
}

int AudioOutput::Callback(void* out, void*, unsigned int frames, double, unsigned int status, void* self) {
    auto* o = static_cast<AudioOutput*>(self);
    if (status & RTAUDIO_OUTPUT_UNDERFLOW) o->mXruns.fetch_add(1, std::memory_order_relaxed);
    o->Render(static_cast<float*>(out), frames);
    return 0;
}

// On the device's thread: no allocation, lock, blocking or I/O.
void AudioOutput::Render(float* out, unsigned int frames) noexcept {
    // Non-interleaved: channel c's samples start at out + c * frames.
    for (unsigned int done = 0; done < frames;) {
        const unsigned int n = std::min(frames - done, kChunk);
        float* channels[kDeviceChannels] = {out + done, out + frames + done};
        mSource->Fill(mInPointers.data(), mInputs, static_cast<int32_t>(n));
        const MarovexProcessStatus result = mInstance.ProcessInCaller(mInPointers.data(), channels, static_cast<int32_t>(n));
        if (result != MarovexProcessStatus::Done) {
            for (float* channel : channels) std::memset(channel, 0, n * sizeof(float));
            mFailedBlocks.fetch_add(1, std::memory_order_relaxed);
        } else if (mOutputs == 1) {
            std::memcpy(channels[1], channels[0], n * sizeof(float));
        }
        done += n;
    }
    mFrames.fetch_add(frames, std::memory_order_relaxed);
}

std::string AudioOutput::Summary() const {
    const double rate = mSampleRate > 0 ? mSampleRate : 1;
    std::string text = fmt::format("sound through {} at {} Hz: {}-frame periods, output latency {:.1f} ms, {} xrun{}, "
                                   "{:.1f} s played",
                                   mWhere, mSampleRate, mPeriod,
                                   1000.0 * double(std::max<long>(mLatencyFrames, long(mPeriod))) / rate,
                                   Xruns(), Xruns() == 1 ? "" : "s", double(mFrames.load()) / rate);
    if (const uint64_t failed = mFailedBlocks.load()) text += fmt::format(", {} blocks silent (processing failed)", failed);
    return text;
}

}  // namespace marovex::cli
