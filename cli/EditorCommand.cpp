// `marovex editor [IN]`: opens the plug-in's editor in an X11 window sized by the editor, calls its
// timer about 30 times a second, and plays IN (or the built-in demo signal) in a loop through the
// plug-in: on the desktop's audio device (AudioOutput.h: JACK when a server runs, else PulseAudio or
// ALSA), whose callback does the processing, or, with --audio none or when no device opens, silently
// on the instance's own real-time audio thread, so the meter moves either way. The editor's events are
// handled as they arrive (its display connection is watched by this loop), not only on timer ticks.
// Closing the window, SIGINT, SIGTERM or SIGHUP end it with status 0; a broken X connection (the
// server went away, or the window's client was killed) ends it with status 1. Every way out, failures
// included, first saves the state to --save-state when asked.
//
// `marovex editor --snapshot FILE.png`: draws the editor offscreen after --load-state and --set, with
// the meter at --meter when given, writes the picture and exits; it needs no display.
#include "EditorCommand.h"

#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>

#include <CLI/CLI.hpp>
#include <fmt/core.h>

#include "AAX_IACFEffectGUI.h"
#include "Arguments.h"
#include "AudioOutput.h"
#include "AudioReader.h"
#include "CliError.h"
#include "Commands.h"
#include "DemoSignal.h"
#include "Graphics.h"
#include "Messages.h"
#include "MarovexViewContainer.h"
#include "OutputPlace.h"
#include "PendingFile.h"
#include "PluginSession.h"
#include "StateFile.h"
#include "Text.h"

// Last: Xlib defines macros (Success, None, Status ...) that other headers use as names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace marovex::cli {

namespace {

constexpr int kTimerHz = 30;
constexpr int32_t kBlockFrames = 256;
constexpr int64_t kMaxLoopFrames = int64_t(48000) * 60 * 10;  // ten minutes at 48 kHz

// The write end of the pipe that SIGINT and SIGTERM wake the loop through.
int gSignalPipe = -1;

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (gSignalPipe >= 0) (void)!write(gSignalPipe, &byte, 1);
    errno = saved;
}

// Installs the signal handlers for its lifetime.
class SignalScope {
public:
    SignalScope() {
        if (pipe(mPipe) != 0) throw Failure("cannot create a pipe for the signal handlers");
        fcntl(mPipe[0], F_SETFL, O_NONBLOCK);
        fcntl(mPipe[1], F_SETFL, O_NONBLOCK);
        gSignalPipe = mPipe[1];
        struct sigaction sa {};
        sa.sa_handler = OnSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &mOldInt);
        sigaction(SIGTERM, &sa, &mOldTerm);
        sigaction(SIGHUP, &sa, &mOldHup);  // the terminal went away
    }
    ~SignalScope() {
        sigaction(SIGINT, &mOldInt, nullptr);
        sigaction(SIGTERM, &mOldTerm, nullptr);
        sigaction(SIGHUP, &mOldHup, nullptr);
        gSignalPipe = -1;
        close(mPipe[0]);
        close(mPipe[1]);
    }
    int ReadEnd() const { return mPipe[0]; }

private:
    int mPipe[2] = {-1, -1};
    struct sigaction mOldInt {}, mOldTerm {}, mOldHup {};
};

struct Audio {
    int channels = 2;
    int sampleRate = 48000;
    std::vector<std::vector<float>> planar;
};

Audio LoadAudio(const std::string& input) {
    Audio a;
    if (input.empty()) {
        const MarovexDemoSignal demo = MakeMarovexDemoSignal(48000);
        a.channels = demo.channels;
        a.sampleRate = demo.sampleRate;
        const size_t frames = demo.samples.size() / size_t(demo.channels);
        a.planar.assign(size_t(a.channels), std::vector<float>(frames));
        for (size_t i = 0; i < frames; ++i)
            for (int c = 0; c < a.channels; ++c) a.planar[size_t(c)][i] = demo.samples[i * size_t(a.channels) + size_t(c)];
        return a;
    }
    AudioReader reader(input);
    if (reader.Channels() != 1 && reader.Channels() != 2) {
        throw Failure("'" + input + "' has " + std::to_string(reader.Channels()) +
                      " channels; the plug-in takes mono or stereo");
    }
    if (reader.Frames() > kMaxLoopFrames) {
        throw Failure("'" + input + "' is longer than the ten minutes the editor loops");
    }
    a.channels = reader.Channels();
    a.sampleRate = reader.SampleRate();
    std::vector<float> interleaved(size_t(std::max<int64_t>(reader.Frames(), 0)) * size_t(a.channels));
    const int64_t got = reader.Read(interleaved.data(), reader.Frames());
    a.planar.assign(size_t(a.channels), std::vector<float>(size_t(got)));
    for (int64_t i = 0; i < got; ++i)
        for (int c = 0; c < a.channels; ++c) a.planar[size_t(c)][size_t(i)] = interleaved[size_t(i * a.channels + c)];
    return a;
}

cairo_status_t AppendPngBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* bytes = static_cast<std::vector<uint8_t>*>(closure);
    bytes->insert(bytes->end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
}

// Writes through a temporary file, as every output of the program (see CheckOutputs).
void WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int32_t width, int32_t height,
              bool mayReplace) {
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(pixels.data())), CAIRO_FORMAT_ARGB32, width, height,
        width * 4);
    std::vector<uint8_t> png;
    const cairo_status_t status = cairo_surface_write_to_png_stream(s, AppendPngBytes, &png);
    cairo_surface_destroy(s);
    if (status != CAIRO_STATUS_SUCCESS) {
        throw Failure("cannot write '" + path + "': " + cairo_status_to_string(status));
    }
    PendingFile file(ClassifyOutput(path));
    file.WriteAll(png);
    file.Commit(mayReplace);
}

void SaveState(MarovexInstance& instance, const std::string& path, bool mayReplace) {
    std::vector<uint8_t> record;
    std::string error;
    if (!instance.SaveState(&record, &error)) throw Failure("cannot save the state: " + error);
    PendingFile file(ClassifyOutput(path));
    file.WriteAll(record);
    file.Commit(mayReplace);
}

// On a way out that is itself a failure: the state is saved when asked, and a failure to save is
// said without hiding the first failure.
void SaveStateOnFailure(MarovexInstance& instance, const std::string& path, bool mayReplace) {
    if (path.empty()) return;
    try {
        SaveState(instance, path, mayReplace);
    } catch (const std::exception& e) {
        Message("marovex: {}\n", e.what());
    }
}

// The top-level window that holds the editor.
class EditorWindow {
public:
    explicit EditorWindow(Display* display) : mDisplay(display) {
        const int screen = DefaultScreen(display);
        mWindow = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, BlackPixel(display, screen),
                                      BlackPixel(display, screen));
        XStoreName(display, mWindow, "Marovex");
        XClassHint hint{const_cast<char*>("marovex"), const_cast<char*>("Marovex")};
        XSetClassHint(display, mWindow, &hint);
        mDelete = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, mWindow, &mDelete, 1);
        XSelectInput(display, mWindow, StructureNotifyMask);
    }
    ~EditorWindow() {
        XDestroyWindow(mDisplay, mWindow);
        XFlush(mDisplay);
    }
    Window Id() const { return mWindow; }

    void ShowAtSize(int width, int height) {
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(mDisplay, mWindow, hints);
        XFree(hints);
        XResizeWindow(mDisplay, mWindow, unsigned(width), unsigned(height));
        XMapWindow(mDisplay, mWindow);
        XFlush(mDisplay);
    }

    // Handles the window's own events; false once the user closed it.
    bool HandleEvents() {
        while (XPending(mDisplay) > 0) {
            XEvent e;
            XNextEvent(mDisplay, &e);
            if (e.type == ClientMessage && Atom(e.xclient.data.l[0]) == mDelete) return false;
            if (e.type == DestroyNotify && e.xdestroywindow.window == mWindow) return false;
        }
        return true;
    }

private:
    Display* mDisplay;
    Window mWindow;
    Atom mDelete;
};

// Set when the program's own display connection broke. Xlib then calls this instead of ending the
// process, and every later call on the connection returns at once, so the program can still save.
std::atomic<bool> gDisplayBroken{false};
void OnDisplayBroken(Display*, void*) { gDisplayBroken = true; }
// Called for any broken connection (also the editor's own, which the editor deals with); what broke
// is reported once the loop has ended.
int QuietIOError(Display*) { return 0; }

// Errors of the window system (a window destroyed under us by another client, say) are reported
// instead of ending the program the way Xlib's default handler does.
int ReportXError(Display* display, XErrorEvent* e) {
    if (gDisplayBroken) return 0;  // the windows went with the connection: errors about them are expected
    char text[128] = {};
    XGetErrorText(display, e->error_code, text, sizeof(text));
    MarovexReportProblem(marovex_where::kWindowSystem,
                         fmt::format("X error {} (request {})", text, int(e->request_code)), "ignored");
    return 0;
}

struct DisplayCloser {
    void operator()(Display* d) const { XCloseDisplay(d); }
};


enum class LoopEnd { Closed, Signal, DisplayBroken };

// The window's loop: editor events as they come, the timer on its ticks, until the window closes,
// a signal arrives or the display connection breaks.
LoopEnd RunWindowLoop(Display* display, EditorWindow& window, MarovexViewContainer& container, MarovexGui& gui,
                      int signalFd) {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::microseconds(1000000 / kTimerHz);
    auto next = Clock::now() + period;
    for (;;) {
        if (gDisplayBroken) {
            // The editor's own connection may still hold events from before (a drag just made).
            container.HandleAllEvents();
            return LoopEnd::DisplayBroken;
        }
        std::vector<pollfd> fds;
        fds.push_back({signalFd, POLLIN, 0});
        fds.push_back({ConnectionNumber(display), POLLIN, 0});
        for (int fd : container.EventDescriptors()) fds.push_back({fd, POLLIN, 0});
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
        // Events already read in by Xlib do not make the descriptor readable: do not sleep on them.
        const int timeout = XPending(display) > 0 ? 0 : int(std::max<int64_t>(0, wait));
        if (poll(fds.data(), nfds_t(fds.size()), timeout) < 0 && errno != EINTR) {
            throw Failure(std::string("waiting for events failed: ") + std::strerror(errno));
        }
        if (fds[0].revents & POLLIN) {
            // Events that arrived before the signal still count (a drag just made is kept).
            container.HandleAllEvents();
            return LoopEnd::Signal;
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) container.HandleEvents(fds[i].fd);
        }
        if (!window.HandleEvents() && !gDisplayBroken) return LoopEnd::Closed;
        if (gDisplayBroken) continue;
        const auto now = Clock::now();
        if (now >= next) {
            gui.Interface()->TimerWakeup();
            container.HandleAllEvents();
            next += period;
            if (next < now) next = now + period;  // fell behind: no burst of catch-up ticks
        }
    }
}

}  // namespace

Command AddEditor(CLI::App& app, const Common& common) {
    auto options = std::make_shared<EditorOptions>();
    CLI::App* cmd = app.add_subcommand(
        "editor",
        "Open the plug-in's editor in a window and play IN (or the built-in demo signal) through the\n"
        "plug-in in a loop, so the meter moves and edits are heard in the processed stream. Closing the\n"
        "window, SIGINT or SIGTERM end it (status 0), saving the state to --save-state (an existing\n"
        "file only with --overwrite, or the --load-state file). With --snapshot the editor is drawn\n"
        "offscreen into a PNG file instead (no display needed).\n"
        "Order: --load-state, then each --set.");
    cmd->add_option("IN", options->input, "Audio file to loop (mono or stereo)")
        ->type_name("FILE")
        ->each([](const std::string& in) {
            if (in.empty()) throw UsageError("an empty file name was given; leave IN out to play the demo signal");
        });
    cmd
        ->add_option("--set", options->sets,
                     "Set a parameter (identifier or index) to a normalized value 0..1 or to its value text")
        ->type_name("ID=VALUE")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    cmd->add_option("--load-state", options->loadState, "Load a saved state first")->type_name("FILE");
    cmd->add_option("--save-state", options->saveState, "Save the state when the editor closes")->type_name("FILE");
    cmd->add_option("--snapshot", options->snapshot, "Draw the editor offscreen into this PNG file and exit")
        ->type_name("FILE.png")
        ->each([](const std::string& path) { CheckPictureName("--snapshot", path); });
    cmd->add_option_function<std::string>(
           "--meter", [options](const std::string& text) { options->meter = ReadNumber("--meter", text, 0.0, 1.0); },
           "With --snapshot: the gain-reduction reading shown, 0 to 1")
        ->type_name("M");
    cmd->add_flag("--overwrite", options->overwrite,
                  "Replace an existing snapshot or state file (the state loaded may always be saved back)");
    cmd->add_option_function<std::string>(
           "--scale", [options](const std::string& text) { options->scale = ReadNumber("--scale", text, 0.5, 4.0); },
           "Scale the editor (window, artwork, mouse) by S, 0.5 to 4; default: the desktop's (GDK_SCALE,\n"
           "else Xft.dpi / 96), 1 for --snapshot")
        ->type_name("S");
    cmd->add_option("--audio", options->audio,
                    "Where the sound goes: auto (JACK when a server runs, else the default PulseAudio or ALSA\n"
                    "device), jack, default, or none (silent; the plug-in still runs, so the meter moves)")
        ->type_name("auto|jack|default|none");
    return {cmd, [options, &common] {
                options->plugin = common.plugin;
                return Graphics().runEditor(*options);
            }};
}


int RunEditor(const EditorOptions& o) {
    // The command line on its own.
    std::vector<Assignment> sets;
    for (const std::string& text : o.sets) sets.push_back(ParseAssignment("--set", text));
    AudioChoice audioChoice = AudioChoice::Auto;
    if (!ParseAudioChoice(o.audio, &audioChoice)) {
        throw UsageError("--audio takes auto, jack, default or none, not " + Quote(o.audio));
    }
    const bool snapshot = !o.snapshot.empty();
    const bool meterGiven = o.meter >= 0.0 || std::isnan(o.meter);
    if (meterGiven && !snapshot) throw UsageError("--meter is for --snapshot only");
    if (meterGiven && !(o.meter >= 0.0 && o.meter <= 1.0)) throw UsageError("--meter must be from 0 to 1");

    // The files written follow the rules of `process` (CheckOutputs), checked before the editor opens:
    // none is an input, an existing one is replaced only with --overwrite. The state loaded may be
    // saved back over itself: that is the session being edited.
    const bool savesLoadedState = !o.saveState.empty() && !o.loadState.empty() && SameFile(o.saveState, o.loadState);
    const bool stateMayReplace = o.overwrite || savesLoadedState;
    {
        std::vector<FileUse> inputs;
        if (!o.input.empty()) inputs.push_back({"input audio", o.input});
        inputs.push_back({"plug-in module", o.plugin});
        if (!o.loadState.empty() && !savesLoadedState) inputs.push_back({"state loaded", o.loadState});
        std::vector<OutputTarget> outputs;
        if (snapshot) outputs.push_back({"snapshot", ClassifyOutput(o.snapshot), o.overwrite});
        if (!o.saveState.empty()) outputs.push_back({"state file", ClassifyOutput(o.saveState), stateMayReplace});
        CheckOutputs(outputs, inputs, nullptr);
    }

    // The display first: without one there is nothing to open.
    std::unique_ptr<Display, DisplayCloser> display;
    if (!snapshot) {
        const char* name = std::getenv("DISPLAY");
        XSetErrorHandler(&ReportXError);
        XSetIOErrorHandler(&QuietIOError);
        display.reset(XOpenDisplay(nullptr));
        if (!display) {
            throw Failure(std::string("no X display to open the editor on (") +
                          (name && *name ? "cannot open '" + std::string(name) + "'" : std::string("DISPLAY is not set")) +
                          "); use --snapshot FILE.png to draw it offscreen");
        }
        XSetIOErrorExitHandler(display.get(), &OnDisplayBroken, nullptr);
    }

    std::vector<uint8_t> stateRecord;
    if (!o.loadState.empty()) {
        stateRecord = ReadWholeFile(o.loadState, kMaxStateFileBytes);
        try {
            ParseStateRecord(stateRecord);
        } catch (const CliError& e) {
            throw Failure("'" + o.loadState + "': " + e.what());
        }
    }
    const Audio audio = snapshot ? Audio{} : LoadAudio(o.input);

    // The plug-in and its settings.
    PluginSession session(o.plugin, audio.channels == 1 ? AAX_eStemFormat_Mono : AAX_eStemFormat_Stereo,
                          float(audio.sampleRate), kBlockFrames);
    MarovexInstance& instance = session.Instance();
    std::string error;
    if (!stateRecord.empty()) {
        std::vector<std::string> problems;
        try {
            problems = session.LoadStateAndReport(stateRecord);
        } catch (const CliError& e) {
            throw Failure("cannot load the state " + Quote(o.loadState) + ": " + e.what());
        }
        for (const std::string& problem : problems) {
            Say(Voice::Warning, "the state " + Quote(o.loadState) + ": " + problem);
        }
    }
    for (const Assignment& a : sets) session.SetFromText(session.Resolve(a.key), a.value);

    std::unique_ptr<MarovexGui> gui = instance.CreateGui(&error);
    if (!gui) throw Failure("cannot open the plug-in's editor: " + error);

    if (snapshot) {
        if (meterGiven) gui->OverrideMeters(float(o.meter));
        std::vector<uint32_t> pixels;
        int32_t width = 0, height = 0;
        const bool drawn = MarovexRenderEditorOffscreen(
            *gui, &pixels, &width, &height, [&] { gui->Interface()->TimerWakeup(); }, &error,
            o.scale > 0 ? float(o.scale) : 1.0f);
        if (!drawn) throw Failure("cannot draw the editor: " + error);
        WritePng(o.snapshot, pixels, width, height, o.overwrite);
        gui.reset();
        if (!o.saveState.empty()) SaveState(instance, o.saveState, stateMayReplace);
        return kExitSuccess;
    }

    // The window, the editor in it, and the audio. Whatever ends it, the state is saved first.
    LoopEnd end = LoopEnd::Closed;
    std::string sound;
    try {
        // The signals are caught before the window shows: a user (or a script) that sees the window
        // may already end the program, and the state is saved then too.
        SignalScope signals;
        EditorWindow window(display.get());
        MarovexViewContainer container(window.Id());
        container.SetScaleFactor(float(o.scale));
        AAX_IACFEffectGUI* editor = gui->Interface();
        // The view goes before the container it lives in, also when something below fails.
        struct ViewScope {
            AAX_IACFEffectGUI* editor;
            ~ViewScope() { editor->SetViewContainer(nullptr); }
        } view{editor};
        editor->SetViewContainer(container.Unknown());
        AAX_Point size{0, 0};
        editor->GetViewSize(&size);
        if (size.horz < 1 || size.vert < 1) {
            throw Failure("the editor reports no view size; are its resources installed beside the module?");
        }
        window.ShowAtSize(int(size.horz), int(size.vert));

        auto source = std::make_shared<MarovexLoopingSource>(audio.planar);
        std::unique_ptr<AudioOutput> output;
        if (audioChoice != AudioChoice::Off) {
            std::string why;
            output = AudioOutput::Open(audioChoice, instance, source, &why);
            if (!output) Message("marovex: no sound ({}); the editor runs silent\n", why);
        }
        if (!output && !instance.StartAudioThread(source, kBlockFrames, &error)) {
            throw Failure("cannot start the audio thread: " + error);
        }
        end = RunWindowLoop(display.get(), window, container, *gui, signals.ReadEnd());
        if (output) sound = output->Summary();
        output.reset();
        instance.StopAudioThread();
    } catch (const CliError&) {
        instance.StopAudioThread();
        gui.reset();
        SaveStateOnFailure(instance, o.saveState, stateMayReplace);
        throw;
    } catch (const std::exception& e) {
        instance.StopAudioThread();
        gui.reset();
        SaveStateOnFailure(instance, o.saveState, stateMayReplace);
        throw Failure(e.what());
    }
    if (!sound.empty()) Message("marovex: {}\n", sound);
    gui.reset();
    if (end == LoopEnd::DisplayBroken) {
        SaveStateOnFailure(instance, o.saveState, stateMayReplace);
        const char* name = std::getenv("DISPLAY");
        throw Failure(std::string("the X connection to '") + (name ? name : "") + "' was broken" +
                      (o.saveState.empty() ? "" : "; the state was saved to '" + o.saveState + "'"));
    }
    if (!o.saveState.empty()) SaveState(instance, o.saveState, stateMayReplace);
    return kExitSuccess;
}

}  // namespace marovex::cli
