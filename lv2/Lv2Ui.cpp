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
#include "Lv2Ui.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <poll.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "AAX_IACFEffectGUI.h"
#include "Lv2Module.h"
#include "Lv2Ports.h"
#include "MarovexHost.h"
#include "MarovexViewContainer.h"

namespace marovex_lv2 {
namespace {

void Say(const std::string& why) { std::fprintf(stderr, "Marovex LV2 user interface: %s\n", why.c_str()); }

// The host's ui:scaleFactor option, the editor's scale; 0 (the desktop's) when the host passes none.
float HostScaleFactor(const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        if (features[i]->URI == nullptr) continue;
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0) map = static_cast<const LV2_URID_Map*>(features[i]->data);
        if (std::strcmp(features[i]->URI, LV2_OPTIONS__options) == 0) {
            options = static_cast<const LV2_Options_Option*>(features[i]->data);
        }
    }
    if (map == nullptr || map->map == nullptr || options == nullptr) return 0.0f;
    const LV2_URID scale = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->key != scale || o->type != floatType || o->size != sizeof(float) || o->value == nullptr) continue;
        float v;
        std::memcpy(&v, o->value, sizeof v);
        return std::isfinite(v) && v > 0.0f ? v : 0.0f;
    }
    return 0.0f;
}

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
    Atom deleteAtom = 0;
    std::string ids[kParameterCount];
    // The value of each control port as the host and this interface last agreed on it.
    float known[kParameterCount] = {};

    ~Ui() {
        if (gui) gui->Interface()->SetViewContainer(nullptr);
        gui.reset();
        container.reset();
        model.reset();
        if (display != nullptr) {
            if (window != 0) XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
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
    try {
        auto ui = std::make_unique<Ui>();
        ui->write = write;
        ui->controller = controller;
        Window parent = 0;
        LV2UI_Resize* resize = nullptr;
        for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
            if (std::strcmp(features[i]->URI, LV2_UI__parent) == 0) {
                parent = Window(reinterpret_cast<uintptr_t>(features[i]->data));
            }
            if (std::strcmp(features[i]->URI, LV2_UI__resize) == 0) resize = static_cast<LV2UI_Resize*>(features[i]->data);
        }
        const bool stereo = pluginUri == nullptr || std::strcmp(pluginUri, kMonoUri) != 0;

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
        ui->window = XCreateSimpleWindow(ui->display, under, 0, 0, 1, 1, 0, 0, 0);
        // The editor makes its window inside ours on a connection of its own: ours must exist first.
        XSync(ui->display, False);
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
        XFlush(ui->display);
        if (resize != nullptr) resize->ui_resize(resize->handle, width, height);
        *widget = reinterpret_cast<LV2UI_Widget>(uintptr_t(ui->window));
        return ui.release();
    } catch (const std::exception& e) {
        Say(e.what());
        return nullptr;
    } catch (...) {
        return nullptr;
    }
}

void Cleanup(LV2UI_Handle handle) { delete static_cast<Ui*>(handle); }

// A host port value: control inputs become edits of the editor's model (the knob follows), the meter
// port goes to the meter bar. Anything else is ignored.
void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    Ui& ui = *static_cast<Ui*>(handle);
    if (format != 0 || size != sizeof(float) || buffer == nullptr) return;
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

int Idle(LV2UI_Handle handle) {
    Ui& ui = *static_cast<Ui*>(handle);
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
        }
    }
    XFlush(ui.display);
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
    Ui& ui = *static_cast<Ui*>(handle);
    ui.closed = false;
    XMapRaised(ui.display, ui.window);
    XFlush(ui.display);
    return 0;
}

int Hide(LV2UI_Handle handle) {
    Ui& ui = *static_cast<Ui*>(handle);
    XUnmapWindow(ui.display, ui.window);
    XFlush(ui.display);
    return 0;
}

const LV2UI_Idle_Interface kIdle = {Idle};
const LV2UI_Show_Interface kShow = {Show, Hide};

const void* ExtensionData(const char* uri) {
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
    if (std::strcmp(uri, LV2_UI__showInterface) == 0) return &kShow;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

}  // namespace

const LV2UI_Descriptor* UiDescriptor() { return &kDescriptor; }

}  // namespace marovex_lv2
