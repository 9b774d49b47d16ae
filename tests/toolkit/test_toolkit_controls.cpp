// Controls as a user meets them: knob drags (coarse, fine, clamped), the default-value click, kick
// buttons, and the listener's view of a gesture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vstgui/vstgui.h"

using namespace VSTGUI;

namespace {

struct Recorder : IControlListener {
    std::vector<std::string> calls;
    void valueChanged(CControl* c) override { calls.push_back("value " + std::to_string(c->getValue())); }
    void controlBeginEdit(CControl*) override { calls.push_back("begin"); }
    void controlEndEdit(CControl*) override { calls.push_back("end"); }
};

std::string V(float v) { return "value " + std::to_string(v); }

class ToolkitControls : public ::testing::Test {
protected:
    void SetUp() override {
        frame = new CFrame(CRect(0, 0, 300, 200), nullptr);
        ASSERT_TRUE(frame->open(nullptr, PlatformType::kOffscreen));
        knob = new CKnob(CRect(10, 10, 60, 60), &listener, 3, nullptr, nullptr);
        knob->setValue(0.5f);
        knob->setDefaultValue(0.25f);
        frame->addView(knob);
        button = new CTextButton(CRect(100, 10, 150, 30), &listener, 8, "LOAD", CTextButton::kKickStyle);
        frame->addView(button);
    }
    void TearDown() override { frame->forget(); }

    // A whole gesture through the frame, as the window system would deliver it.
    void Drag(CPoint from, const std::vector<std::pair<CPoint, int32_t>>& moves, int32_t downState = kLButton) {
        frame->onMouseDown(from, CButtonState(downState));
        for (auto m : moves) frame->onMouseMoved(m.first, CButtonState(m.second));
        CPoint last = moves.empty() ? from : moves.back().first;
        frame->onMouseUp(last, CButtonState(kLButton));
    }

    Recorder listener;
    CFrame* frame = nullptr;
    CKnob* knob = nullptr;
    CTextButton* button = nullptr;
};

TEST_F(ToolkitControls, KnobDragsCoarseFineAndClamped) {
    // 50 pixels up of a 200-pixel sweep: +0.25, one begin, one value, one end.
    Drag(CPoint(35, 35), {{CPoint(35, -15), kLButton}});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.75f);
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"begin", V(0.75f), "end"}));

    // With Shift the same 50 pixels move ten times less; releasing Shift mid-drag continues from
    // where the knob is (no jump back to the coarse position).
    listener.calls.clear();
    Drag(CPoint(35, 35), {{CPoint(35, 85), kLButton | kShift}, {CPoint(35, 105), kLButton}}, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 0.75 - 0.025 - 0.1, 1e-6);  // 50 px fine, then 20 px coarse
    EXPECT_EQ(listener.calls.front(), "begin");
    EXPECT_EQ(listener.calls.back(), "end");
    EXPECT_EQ(listener.calls.size(), 4u);

    // However a drag's moves are split, the value depends only on where the pointer is.
    knob->setValue(0.5f);
    Drag(CPoint(35, 35), {{CPoint(35, 58), kLButton}, {CPoint(35, 61), kLButton}, {CPoint(35, 85), kLButton}});
    EXPECT_EQ(knob->getValue(), 0.25f);

    // Dragging far past the end stops at the range; moves without the button do nothing.
    listener.calls.clear();
    Drag(CPoint(35, 35), {{CPoint(35, -1000), kLButton}, {CPoint(35, -2000), kLButton}});
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"begin", V(1.0f), "end"}));
    CPoint hover(35, 300);
    frame->onMouseMoved(hover, CButtonState());
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
}

TEST_F(ToolkitControls, AltClickRestoresTheDefaultOnlyWithAltAlone) {
    Drag(CPoint(35, 35), {}, kLButton | kAlt | kShift);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"begin", "end"}));

    listener.calls.clear();
    CPoint p(35, 35);
    EXPECT_EQ(frame->onMouseDown(p, CButtonState(kLButton | kAlt)), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"begin", V(0.25f), "end"}));
    // The gesture is over: the frame sends the following moves nowhere.
    CPoint up(35, 0);
    frame->onMouseMoved(up, CButtonState(kLButton));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.25f);
}

TEST_F(ToolkitControls, WheelAndKeysStepTheKnobInWholeEdits) {
    // One notch up over the knob: a hundredth of the range, as a whole edit; Shift a tenth of that.
    EXPECT_TRUE(frame->onWheel(CPoint(35, 35), kMouseWheelAxisY, 1.0f, CButtonState()));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.51f);
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"begin", V(0.51f), "end"}));
    frame->onWheel(CPoint(35, 35), kMouseWheelAxisY, -2.0f, CButtonState(kShift));
    EXPECT_NEAR(knob->getValue(), 0.508, 1e-6);
    // Sideways turns and turns over no control change nothing.
    listener.calls.clear();
    EXPECT_FALSE(frame->onWheel(CPoint(35, 35), kMouseWheelAxisX, 1.0f, CButtonState()));
    EXPECT_FALSE(frame->onWheel(CPoint(200, 150), kMouseWheelAxisY, 1.0f, CButtonState()));
    EXPECT_TRUE(listener.calls.empty());

    // Keys go to the knob under the pointer (the last position the frame saw).
    knob->setValue(0.5f);
    auto key = [&](unsigned char virt, unsigned char modifier = 0) {
        VstKeyCode k;
        k.virt = virt;
        k.modifier = modifier;
        return frame->onKeyDown(k);
    };
    CPoint over(35, 35);
    frame->onMouseMoved(over, CButtonState());
    EXPECT_EQ(key(VKEY_UP), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.51f);
    key(VKEY_DOWN, MODIFIER_SHIFT);
    EXPECT_NEAR(knob->getValue(), 0.509, 1e-6);
    key(VKEY_PAGEDOWN);
    EXPECT_NEAR(knob->getValue(), 0.409, 1e-6);
    key(VKEY_END);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    listener.calls.clear();
    key(VKEY_RIGHT);  // at the end already: a gesture without a value
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"begin", "end"}));
    key(VKEY_HOME);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.0f);
    EXPECT_EQ(key(VKEY_RETURN), -1);

    // Away from every control, keys go to the control last touched: the knob (turned above), then
    // the button once it was pressed (which takes no keys).
    CPoint away(200, 150);
    frame->onMouseMoved(away, CButtonState());
    EXPECT_EQ(key(VKEY_UP), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.01f);
    Drag(CPoint(120, 20), {});
    EXPECT_EQ(frame->getFocusView(), button);
    frame->onMouseMoved(away, CButtonState());
    EXPECT_EQ(key(VKEY_UP), -1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.01f);
    // A focus view that left the frame gets no keys.
    frame->onWheel(CPoint(35, 35), kMouseWheelAxisY, 1.0f, CButtonState());
    knob->remember();
    frame->removeView(knob);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(key(VKEY_UP), -1);
    knob->forget();
}

TEST_F(ToolkitControls, KickButtonSendsPressThenRelease) {
    Drag(CPoint(120, 20), {{CPoint(125, 22), kLButton}});
    EXPECT_EQ(listener.calls, (std::vector<std::string>{"begin", V(1.0f), V(0.0f), "end"}));
    EXPECT_FLOAT_EQ(button->getValue(), 0.0f);
    // A right click is not a press.
    listener.calls.clear();
    CPoint p(120, 20);
    frame->onMouseDown(p, CButtonState(kRButton));
    frame->onMouseUp(p, CButtonState(kRButton));
    EXPECT_TRUE(listener.calls.empty());
}

TEST(ToolkitControlValue, SetValueNotifiesNobodyAndDirtyTracksTheDrawnValue) {
    Recorder listener;
    auto* knob = new CAnimKnob(CRect(0, 0, 10, 10), &listener, 1, 5, 10, nullptr);
    knob->setValue(0.5f);
    EXPECT_TRUE(listener.calls.empty());
    EXPECT_TRUE(knob->isDirty());
    knob->setDirty(false);
    EXPECT_FALSE(knob->isDirty());
    knob->setValue(0.75f);
    EXPECT_TRUE(knob->isDirty());
    EXPECT_EQ(knob->getImageIndex(), 3);
    knob->setValue(0.0f);
    EXPECT_EQ(knob->getImageIndex(), 0);
    knob->setValue(1.0f);
    EXPECT_EQ(knob->getImageIndex(), 4);
    knob->forget();
}

}  // namespace
