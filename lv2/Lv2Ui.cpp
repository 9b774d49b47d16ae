// The plug-ins' user interface: our editor, driven through the host library exactly as the marovex
// program's editor window drives it, and tied to the host through the plug-in's control ports.
//
// The editor edits a data model of its own (an instance of the module that never processes), so it
// needs no access to the running plug-in and works when the host runs the interface in another
// process. Host port values reach that model as parameter edits, which move the knobs; edits made
// in the editor are read back from the model on every idle call and written to the host's control
// ports, so the host records them as it records its own; the meter port's values are shown by the
// editor's meter bar.
//
// The editor draws into a window of ours: a child of the host's parent window (ui:parent), or a
// window of its own that ui:showInterface shows and hides. Its size is set once, at creation, on
// the window and in its normal hints, and reported through ui:resize. X events and the editor's
// timer are handled inside the host's idle calls, on the host's user-interface thread.
//
// Xlib's default error handler ends the whole process, and the handler is process-wide: every
// entry point that makes requests does so inside an XErrorTrap, which catches the errors of this
// interface's own connections only, ours and the editor's (the ones it hands the view container to
// watch); others go on to the handler it replaced. It waits for the server's answer on ours before
// it puts the previous handler back. A parent window that does not exist makes instantiate fail; a
// parent the host destroyed under us (the editor's window goes with it) makes idle report the
// interface closed, and cleanup still ends quietly.
// Features are read as the plug-in reads them (Lv2Features.h).
#include "Lv2Ui.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <poll.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "AAX_IACFEffectGUI.h"
#include "Lv2Features.h"
#include "Lv2Module.h"
#include "Lv2Ports.h"
#include "MarovexHost.h"
#include "MarovexViewContainer.h"

namespace marovex_lv2 {
namespace {

void Say(const std::string& why) { std::fprintf(stderr, "Marovex LV2 user interface: %s\n", why.c_str()); }

// The host's ui:scaleFactor option, the editor's scale; 0 (the desktop's) when the host passes none.
// Features and options are read as Lv2Features.h describes.
float HostScaleFactor(const LV2_Feature* const* features) {
    enum { kMap, kOptions, kWanted };
    WantedFeature wanted[kWanted] = {{LV2_URID__map}, {LV2_OPTIONS__options}};
    FindFeatures(features, wanted, kWanted);
    LV2_URID_Map map{};
    if (!CopyFromHost(&map, wanted[kMap].data, sizeof map) || map.map == nullptr || wanted[kOptions].data == nullptr) {
        return 0.0f;
    }
    float v = 0.0f;
    if (!ReadOption(wanted[kOptions].data, map.map(map.handle, LV2_UI__scaleFactor),
                    map.map(map.handle, LV2_ATOM__Float), &v, sizeof v)) {
        return 0.0f;
    }
    return std::isfinite(v) && v > 0.0f ? v : 0.0f;
}

// While one lives: X errors on the connections with the given descriptors are recorded instead of
// reaching the process's handler. One at a time (the host's user-interface thread); errors of other
// connections, which may arrive on other threads meanwhile, go to the handler installed before.
class XErrorTrap {
public:
    // sync: wait for the answers on our connection at the end (not needed where no request of ours
    // was made: the editor's connection is read only inside these traps).
    XErrorTrap(Display* display, const std::vector<int>& connections, bool sync = true)
        : mDisplay(display), mSync(sync) {
        int n = 0;
        for (int fd : connections) {
            if (n < kMaxConnections) sConnections[n++].store(fd);
        }
        sCount.store(n);
        sFailed.store(false);
        sPrevious.store(XSetErrorHandler(&Handler));
    }
    explicit XErrorTrap(Display* display) : XErrorTrap(display, {ConnectionNumber(display)}) {}
    ~XErrorTrap() {
        if (mSync) XSync(mDisplay, False);
        // The previous handler back, unless someone replaced ours meanwhile.
        const XErrorHandler current = XSetErrorHandler(sPrevious.load());
        if (current != &Handler) XSetErrorHandler(current);
        sCount.store(0);
    }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    // Waits for the server's answer to every request on our connection so far: true when one of
    // them, or a request of the editor's that has been answered, failed.
    bool Failed() {
        XSync(mDisplay, False);
        return sFailed.load();
    }

private:
    static int Handler(Display* display, XErrorEvent* error) {
        const int fd = ConnectionNumber(display);
        for (int i = 0, n = sCount.load(); i < n; ++i) {
            if (sConnections[i].load() == fd) {
                sFailed.store(true);
                return 0;
            }
        }
        const XErrorHandler previous = sPrevious.load();
        return previous != nullptr ? previous(display, error) : 0;
    }
    static constexpr int kMaxConnections = 8;
    Display* mDisplay;
    bool mSync;
    static std::atomic<int> sConnections[kMaxConnections];
    static std::atomic<int> sCount;
    static std::atomic<bool> sFailed;
    static std::atomic<XErrorHandler> sPrevious;
};
std::atomic<int> XErrorTrap::sConnections[kMaxConnections] = {};
std::atomic<int> XErrorTrap::sCount{0};
std::atomic<bool> XErrorTrap::sFailed{false};
std::atomic<XErrorHandler> XErrorTrap::sPrevious{nullptr};

struct Ui {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    std::shared_ptr<MarovexModule> module;
    std::unique_ptr<MarovexInstance> model;
    std::unique_ptr<MarovexGui> gui;
    std::unique_ptr<MarovexViewContainer> container;
    Display* display = nullptr;
    Window window = 0;
    bool topLevel = false;
    bool closed = false;
    bool gone = false;  // our window was destroyed (with the host's parent): nothing is drawn again
    Atom deleteAtom = 0;
    std::string ids[kParameterCount];
    // The value of each control port as the host and this interface last agreed on it.
    float known[kParameterCount] = {};

    ~Ui() {
        {
            // The host may have destroyed our window (and the editor's in it) with its parent.
            std::unique_ptr<XErrorTrap> trap;
            if (display != nullptr) trap = std::make_unique<XErrorTrap>(display, Connections());
            if (gui) gui->Interface()->SetViewContainer(nullptr);
            gui.reset();
            container.reset();
            model.reset();
            if (display != nullptr && window != 0 && !gone) XDestroyWindow(display, window);
        }
        if (display != nullptr) XCloseDisplay(display);
    }

    // The X connections of this interface: ours and those the editor watches.
    std::vector<int> Connections() const {
        std::vector<int> fds = {ConnectionNumber(display)};
        if (container) {
            for (int fd : container->EventDescriptors()) fds.push_back(fd);
        }
        return fds;
    }

    float PortValue(uint32_t i) const {
        double v = 0.0;
        if (!model->GetParameterValue(ids[i], &v, nullptr)) return known[i];
        return i == kEnabledPort ? EnabledFromBypass(v) : float(v);
    }
};

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char* bundlePath,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    if (widget == nullptr || write == nullptr) {
        Say("the host gave no place for the widget or no function to write ports with");
        return nullptr;
    }
    try {
        auto ui = std::make_unique<Ui>();
        ui->write = write;
        ui->controller = controller;
        enum { kParent, kResize, kWanted };
        WantedFeature wanted[kWanted] = {{LV2_UI__parent}, {LV2_UI__resize}};
        FindFeatures(features, wanted, kWanted);
        const Window parent = Window(reinterpret_cast<uintptr_t>(wanted[kParent].data));
        LV2UI_Resize resize{};
        const bool canResize =
            CopyFromHost(&resize, wanted[kResize].data, sizeof resize) && resize.ui_resize != nullptr;
        const bool stereo = !SameUri(pluginUri, kMonoUri);

        std::string error;
        ui->module = SharedModule(bundlePath, &error);
        if (ui->module) {
            ui->model = MarovexInstance::Create(ui->module, stereo ? AAX_eStemFormat_Stereo : AAX_eStemFormat_Mono,
                                                48000.0f, 64, &error);
        }
        if (ui->model) ui->gui = ui->model->CreateGui(&error);
        if (!ui->gui) {
            Say("cannot open the editor: " + error);
            return nullptr;
        }
        for (uint32_t i = 0; i < kParameterCount; ++i) {
            ui->ids[i] = kParameterSymbols[i];
            ui->known[i] = ui->PortValue(i);
        }

        ui->display = XOpenDisplay(nullptr);
        if (ui->display == nullptr) {
            Say("no X display");
            return nullptr;
        }
        ui->topLevel = parent == 0;
        const Window under = ui->topLevel ? DefaultRootWindow(ui->display) : parent;
        {
            // The editor makes its window inside ours on a connection of its own: ours must exist
            // first, and does not when the host's parent does not.
            XErrorTrap trap(ui->display);
            ui->window = XCreateSimpleWindow(ui->display, under, 0, 0, 1, 1, 0, 0, 0);
            if (trap.Failed()) {
                ui->window = 0;
                Say("the host's parent window " + std::to_string(parent) + " cannot take a child");
                return nullptr;
            }
        }
        XSelectInput(ui->display, ui->window, StructureNotifyMask);  // to hear of its destruction
        XErrorTrap trap(ui->display);
        ui->container = std::make_unique<MarovexViewContainer>(uint64_t(ui->window));
        ui->container->SetScaleFactor(HostScaleFactor(features));
        AAX_IACFEffectGUI* editor = ui->gui->Interface();
        editor->SetViewContainer(ui->container->Unknown());
        AAX_Point size{0, 0};
        editor->GetViewSize(&size);
        const int width = int(size.horz), height = int(size.vert);
        if (width < 1 || height < 1) {
            Say("the editor reports no size; are its resources in the bundle's Contents/Resources?");
            return nullptr;
        }
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize | PBaseSize;
        hints->min_width = hints->max_width = hints->base_width = width;
        hints->min_height = hints->max_height = hints->base_height = height;
        XSetWMNormalHints(ui->display, ui->window, hints);
        XFree(hints);
        XResizeWindow(ui->display, ui->window, unsigned(width), unsigned(height));
        if (ui->topLevel) {
            XStoreName(ui->display, ui->window, stereo ? "Marovex Stereo" : "Marovex Mono");
            ui->deleteAtom = XInternAtom(ui->display, "WM_DELETE_WINDOW", False);
            XSetWMProtocols(ui->display, ui->window, &ui->deleteAtom, 1);
        } else {
            XMapWindow(ui->display, ui->window);
        }
        if (trap.Failed()) {
            Say("the window could not be set up");
            return nullptr;
        }
        if (canResize) resize.ui_resize(resize.handle, width, height);
        *widget = reinterpret_cast<LV2UI_Widget>(uintptr_t(ui->window));
        return ui.release();
    } catch (const std::exception& e) {
        Say(e.what());
        return nullptr;
    } catch (...) {
        return nullptr;
    }
}

void Cleanup(LV2UI_Handle handle) { delete static_cast<Ui*>(handle); }  // null: nothing

// A host port value: control inputs become edits of the editor's model (the knob follows), the meter
// port goes to the meter bar. Anything else is ignored.
void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (handle == nullptr || format != 0 || size != sizeof(float) || buffer == nullptr) return;
    Ui& ui = *static_cast<Ui*>(handle);
    XErrorTrap trap(ui.display, ui.Connections(), false);  // the knob may draw at once
    float v;
    std::memcpy(&v, buffer, sizeof v);
    if (std::isnan(v)) return;
    if (port < kParameterCount) {
        const double normalized = port == kEnabledPort ? BypassFromEnabled(v) : (v < 0.0f ? 0.0 : v > 1.0f ? 1.0 : double(v));
        ui.model->SetParameter(ui.ids[port], normalized, nullptr);
        // What the model made of it counts as agreed: a host value outside the range (or an enabled
        // value other than 0 and 1) is never written back.
        ui.known[port] = ui.PortValue(port);
    } else if (port == kMeterPort) {
        ui.gui->OverrideMeters(v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v);
    }
}

// Non-zero once the interface is closed: by the window manager, or because its window is gone.
int Idle(LV2UI_Handle handle) {
    if (handle == nullptr || static_cast<Ui*>(handle)->gone) return 1;
    Ui& ui = *static_cast<Ui*>(handle);
    XErrorTrap trap(ui.display, ui.Connections());
    for (int fd : ui.container->EventDescriptors()) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR))) ui.container->HandleEvents(fd);
    }
    ui.gui->Interface()->TimerWakeup();
    ui.container->HandleAllEvents();
    while (XPending(ui.display) > 0) {
        XEvent e;
        XNextEvent(ui.display, &e);
        if (e.type == ClientMessage && Atom(e.xclient.data.l[0]) == ui.deleteAtom) {
            XUnmapWindow(ui.display, ui.window);
            ui.closed = true;
        } else if (e.type == DestroyNotify && e.xdestroywindow.window == ui.window) {
            ui.gone = ui.closed = true;
        }
    }
    if (trap.Failed()) ui.closed = true;
    // Edits made in the editor, to the host.
    for (uint32_t i = 0; i < kParameterCount; ++i) {
        const float v = ui.PortValue(i);
        if (v != ui.known[i]) {
            ui.known[i] = v;
            ui.write(ui.controller, i, sizeof(float), 0, &v);
        }
    }
    return ui.closed ? 1 : 0;
}

int Show(LV2UI_Handle handle) {
    if (handle == nullptr || static_cast<Ui*>(handle)->gone) return 1;
    Ui& ui = *static_cast<Ui*>(handle);
    XErrorTrap trap(ui.display, ui.Connections());
    XMapRaised(ui.display, ui.window);
    ui.closed = trap.Failed();
    return ui.closed ? 1 : 0;
}

int Hide(LV2UI_Handle handle) {
    if (handle == nullptr || static_cast<Ui*>(handle)->gone) return 1;
    Ui& ui = *static_cast<Ui*>(handle);
    XErrorTrap trap(ui.display, ui.Connections());
    XUnmapWindow(ui.display, ui.window);
    return trap.Failed() ? 1 : 0;
}

const LV2UI_Idle_Interface kIdle = {Idle};
const LV2UI_Show_Interface kShow = {Show, Hide};

const void* ExtensionData(const char* uri) {
    if (uri == nullptr) return nullptr;
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
    if (std::strcmp(uri, LV2_UI__showInterface) == 0) return &kShow;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

}  // namespace

const LV2UI_Descriptor* UiDescriptor() { return &kDescriptor; }

}  // namespace marovex_lv2
