// The LV2 user interface's scale, as a host sees it under Xvfb: the window it gets is the editor's
// size times the host's ui:scaleFactor option; without the option, times the desktop's scale
// (GDK_SCALE), else 1.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/xvfb_server.h"
#include "tests/lv2/lv2_urid_map.h"

// Last: Xlib's macros (None, Status ...) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using lv2test::UridMap;

class Lv2UiScale : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(xvfb.display().empty()) << "Xvfb did not start";
        setenv("DISPLAY", xvfb.display().c_str(), 1);
        unsetenv("GDK_SCALE");
        library = dlopen(MAROVEX_LV2_BUNDLE "/MarovexLv2UI.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
    }
    void TearDown() override {
        if (display != nullptr) XCloseDisplay(display);
        if (library != nullptr) dlclose(library);
    }

    // Opens the interface (with the option when `scale` > 0) and returns its window's size.
    std::pair<unsigned, unsigned> Open(float scale) {
        UridMap urids;
        const LV2_Options_Option options[] = {
            {LV2_OPTIONS_INSTANCE, 0, urids.map.map(&urids, LV2_UI__scaleFactor), sizeof(float),
             urids.map.map(&urids, LV2_ATOM__Float), &scale},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
        };
        const LV2_Feature mapFeature{LV2_URID__map, &urids.map};
        const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
        const LV2_Feature* withOption[] = {&mapFeature, &optionsFeature, nullptr};
        const LV2_Feature* without[] = {&mapFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle ui = descriptor->instantiate(
            descriptor, "urn:halvik:marovex:stereo", MAROVEX_LV2_BUNDLE,
            [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}, nullptr, &widget,
            scale > 0 ? withOption : without);
        EXPECT_NE(ui, nullptr);
        if (ui == nullptr) return {0, 0};
        Window root = 0;
        int x = 0, y = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        XGetGeometry(display, Window(reinterpret_cast<uintptr_t>(widget)), &root, &x, &y, &width, &height, &border,
                     &depth);
        XSizeHints hints{};
        long supplied = 0;
        XGetWMNormalHints(display, Window(reinterpret_cast<uintptr_t>(widget)), &hints, &supplied);
        EXPECT_EQ(unsigned(hints.min_width), width) << "the size hints say the same";
        descriptor->cleanup(ui);
        return {width, height};
    }

    toolkittest::XvfbServer xvfb;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    Display* display = nullptr;
};

TEST_F(Lv2UiScale, TheHostsScaleFactorElseTheDesktopsSizesTheWindow) {
    EXPECT_EQ(Open(0), std::make_pair(400u, 340u));
    EXPECT_EQ(Open(2), std::make_pair(800u, 680u));
    EXPECT_EQ(Open(1.5f), std::make_pair(600u, 510u));
    setenv("GDK_SCALE", "2", 1);
    EXPECT_EQ(Open(0), std::make_pair(800u, 680u)) << "no option: the desktop's scale";
    EXPECT_EQ(Open(1), std::make_pair(400u, 340u)) << "the host's option wins";
    unsetenv("GDK_SCALE");
}

}  // namespace
