// The X11 clipboard between two clipboards of one process under a virtual X server: each is served
// by its own thread, so one answers while the other waits. Also: a clipboard nobody owns, an owner
// that never answers (the wait ends at the timeout), and an owner that went away.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "toolkit/xvfb_server.h"
#include "vstgui/cclipboard.h"

// Last: Xlib defines macros (None, Bool) that other headers use as names.
#include <X11/Xlib.h>

using namespace VSTGUI;

namespace {

TEST(X11Clipboard, ClipboardsServeEachOtherAndWaitsEnd) {
    toolkittest::XvfbServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb is installed by scripts/deps.sh";
    setenv("DISPLAY", server.display().c_str(), 1);

    std::unique_ptr<IPlatformClipboard> a = createX11Clipboard(2000);
    std::unique_ptr<IPlatformClipboard> b = createX11Clipboard(2000);
    ASSERT_TRUE(a && b);
    std::string text = "unchanged";
    EXPECT_FALSE(b->getText(text, 100)) << "nobody owns the clipboard yet";
    EXPECT_EQ(text, "unchanged");

    const std::string preset = "Marovex 010000\nInGain 0.5000000000\n";
    ASSERT_TRUE(a->setText(preset));
    ASSERT_TRUE(b->getText(text, 100));
    EXPECT_EQ(text, preset);
    ASSERT_TRUE(b->getText(text, 7));
    EXPECT_EQ(text, "Marovex") << "cut to the length asked for";
    ASSERT_TRUE(a->getText(text, 100));
    EXPECT_EQ(text, preset) << "the owner answers itself";

    // The other takes the selection; then, as many times as asked, each side sees the latest text.
    for (int i = 0; i < 20; ++i) {
        IPlatformClipboard* owner = i % 2 ? a.get() : b.get();
        IPlatformClipboard* reader = i % 2 ? b.get() : a.get();
        const std::string t = "text " + std::to_string(i);
        ASSERT_TRUE(owner->setText(t));
        ASSERT_TRUE(reader->getText(text, 100));
        EXPECT_EQ(text, t);
    }

    // An owner that never answers: the wait ends at the timeout.
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window silent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), silent, CurrentTime);
    XSync(display, False);
    std::unique_ptr<IPlatformClipboard> quick = createX11Clipboard(200);
    ASSERT_TRUE(quick);
    EXPECT_FALSE(quick->getText(text, 100));
    XCloseDisplay(display);  // the silent owner goes: nobody owns the clipboard

    // A new owner after the silent one; a late answer to the timed-out request is not mistaken for it.
    ASSERT_TRUE(b->setText("after"));
    ASSERT_TRUE(quick->getText(text, 100));
    EXPECT_EQ(text, "after");
    b.reset();  // the owner goes away with its clipboard
    EXPECT_FALSE(a->getText(text, 100));
    unsetenv("DISPLAY");
    EXPECT_EQ(createX11Clipboard(), nullptr) << "no display, no clipboard";
}

}  // namespace
