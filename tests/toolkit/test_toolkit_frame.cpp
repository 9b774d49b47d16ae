// Frames and containers: which view getViewAt finds, who owns views, and what an offscreen frame
// draws (background, film-strip frame, label text).
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "vstgui/vstgui.h"

using namespace VSTGUI;

namespace {

uint32_t Pixel(const std::vector<uint32_t>& px, int width, int x, int y) { return px[static_cast<size_t>(y * width + x)]; }

TEST(ToolkitFrame, GetViewAtFindsDirectChildrenOnlyTopmostFirst) {
    const int32_t before = CView::getLiveViewCount();
    auto* frame = new CFrame(CRect(0, 0, 200, 200), nullptr);
    auto* inner = new CViewContainer(CRect(50, 50, 150, 150));
    auto* nested = new CView(CRect(10, 10, 40, 40));  // (60, 60)-(90, 90) in frame coordinates
    ASSERT_TRUE(inner->addView(nested));
    auto* below = new CView(CRect(0, 0, 100, 100));
    auto* above = new CView(CRect(80, 80, 120, 120));
    frame->addView(below);
    frame->addView(inner);
    frame->addView(above);

    EXPECT_EQ(frame->getViewAt(CPoint(70, 70)), inner);  // not the nested view
    EXPECT_EQ(frame->getViewAt(CPoint(70, 70), GetViewOptions().setDeep()), nested);
    EXPECT_EQ(frame->getViewAt(CPoint(90, 90)), above);  // the last added is on top
    EXPECT_EQ(frame->getViewAt(CPoint(20, 20)), below);
    EXPECT_EQ(frame->getViewAt(CPoint(199, 5)), nullptr);
    above->setVisible(false);
    EXPECT_EQ(frame->getViewAt(CPoint(90, 90)), inner);

    // A view already attached is refused (and the extra reference dropped); removal with forget
    // releases; the frame releases the rest.
    nested->remember();
    EXPECT_FALSE(frame->addView(nested));
    EXPECT_EQ(nested->getParentView(), inner);
    EXPECT_TRUE(frame->removeView(below));
    EXPECT_EQ(CView::getLiveViewCount(), before + 4);
    frame->forget();
    EXPECT_EQ(CView::getLiveViewCount(), before);
}

TEST(ToolkitFrame, OffscreenFrameDrawsBackgroundFilmStripAndText) {
    // A three-image film strip: red, green, blue bands of 10 pixels.
    auto* strip = new CBitmap(10, 30);
    ASSERT_TRUE(strip->isLoaded());
    cairo_t* cr = cairo_create(strip->getSurface());
    const double colours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
        cairo_rectangle(cr, 0, i * 10, 10, 10);
        cairo_set_source_rgb(cr, colours[i][0], colours[i][1], colours[i][2]);
        cairo_fill(cr);
    }
    cairo_destroy(cr);

    auto* frame = new CFrame(CRect(0, 0, 1, 1), nullptr);
    ASSERT_TRUE(frame->open(nullptr, PlatformType::kOffscreen));
    ASSERT_TRUE(frame->setSize(64, 40));
    frame->setBackgroundColor(CColor(30, 30, 30, 255));
    auto* knob = new CAnimKnob(CRect(5, 5, 15, 15), nullptr, 0, 3, 10, strip, CPoint(5, 5));
    knob->setValue(0.5f);
    frame->addView(knob);
    auto* label = new CTextLabel(CRect(20, 0, 64, 40), "WWW");
    label->setFontColor(kWhiteCColor);
    label->setBackColor(kTransparentCColor);
    label->setFrameColor(kTransparentCColor);
    frame->addView(label);
    strip->forget();  // the knob holds it now

    frame->idle();  // paints everything invalidated so far
    EXPECT_TRUE(frame->getInvalidRegion().isEmpty());
    std::vector<uint32_t> px(64 * 40);
    ASSERT_TRUE(frame->copyPixels(px.data(), 64 * 4, 64, 40));
    EXPECT_EQ(Pixel(px, 64, 1, 1), 0xff1e1e1eu);  // background colour
    EXPECT_EQ(Pixel(px, 64, 10, 10), 0xff00ff00u);  // middle film image at value 0.5
    int bright = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 20; x < 64; ++x) bright += (Pixel(px, 64, x, y) & 0xff) > 128 ? 1 : 0;
    EXPECT_GT(bright, 10) << "the label's text is drawn";

    // A value change redraws only after invalidation.
    knob->setValue(1.0f);
    knob->invalid();
    EXPECT_FALSE(frame->getInvalidRegion().isEmpty());
    frame->idle();
    ASSERT_TRUE(frame->copyPixels(px.data(), 64 * 4, 64, 40));
    EXPECT_EQ(Pixel(px, 64, 10, 10), 0xff0000ffu);
    EXPECT_FALSE(frame->copyPixels(px.data(), 64 * 4, 65, 40));
    frame->forget();
}

TEST(ToolkitFrame, AScaledFrameDrawsItsViewsLargerAndMapsTheMouseBack) {
    // The strip again, at scale 2: the window is twice the size, the knob's image fills twice the
    // pixels, and none of the strip's neighbouring images bleeds into its edges.
    auto* strip = new CBitmap(10, 30);
    cairo_t* cr = cairo_create(strip->getSurface());
    const double colours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
        cairo_rectangle(cr, 0, i * 10, 10, 10);
        cairo_set_source_rgb(cr, colours[i][0], colours[i][1], colours[i][2]);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    auto* frame = new CFrame(CRect(0, 0, 40, 30), nullptr);
    ASSERT_TRUE(frame->open(nullptr, PlatformType::kOffscreen));
    frame->setBackgroundColor(CColor(30, 30, 30, 255));
    auto* knob = new CAnimKnob(CRect(5, 5, 15, 15), nullptr, 0, 3, 10, strip, CPoint(5, 5));
    knob->setValue(0.5f);
    frame->addView(knob);
    strip->forget();
    frame->setScaleFactor(2);
    EXPECT_EQ(frame->getPixelWidth(), 80);
    EXPECT_EQ(frame->getPixelHeight(), 60);
    EXPECT_EQ(frame->getViewSize(), CRect(0, 0, 40, 30)) << "the views keep their coordinates";
    frame->idle();
    std::vector<uint32_t> px(80 * 60);
    ASSERT_TRUE(frame->copyPixels(px.data(), 80 * 4, 80, 60));
    for (int y = 10; y < 30; ++y)
        for (int x = 10; x < 30; ++x) ASSERT_EQ(Pixel(px, 80, x, y), 0xff00ff00u) << x << "," << y;
    EXPECT_EQ(Pixel(px, 80, 9, 20), 0xff1e1e1eu);
    EXPECT_EQ(Pixel(px, 80, 30, 20), 0xff1e1e1eu);
    // Scale 1.5 rounds the pixel size; nonsense scales give 1.
    frame->setScaleFactor(1.5);
    EXPECT_EQ(frame->getPixelWidth(), 60);
    frame->setScaleFactor(std::nan(""));
    EXPECT_EQ(frame->getScaleFactor(), 1.0);
    frame->setScaleFactor(9);
    EXPECT_EQ(frame->getScaleFactor(), 4.0);
    frame->forget();
}

TEST(ToolkitFrame, OpeningOnAMissingWindowFailsCleanly) {
    auto* frame = new CFrame(CRect(0, 0, 10, 10), nullptr);
    // Without a display (or with a window id that does not exist) the frame stays closed.
    EXPECT_FALSE(frame->open(reinterpret_cast<void*>(uintptr_t{0x7ffffff1}), PlatformType::kX11EmbedWindowID));
    EXPECT_FALSE(frame->isOpen());
    frame->forget();
}

}  // namespace
