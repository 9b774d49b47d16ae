// Gestures on the editor's controls: edits reach the data model as touch, set, release with the
// readout in the label; the default-value click; gestures the host takes; modifier translation.
#include "AAX_CVSTGUIButtonState.h"
#include "test_editor_fixture.h"

using namespace VSTGUI;
using editortest::EditorTest;
using Kind = fakehost::Automation::Kind;
using Event = fakehost::Automation::Event;

namespace {

TEST_F(EditorTest, DraggingFreqAEditsTheModelAndShowsTheReadout) {
    // FreqA sits at (221, 137)-(251, 167) at 0.5; 50 pixels down is a quarter of the range.
    EXPECT_EQ(Down(236, 152, kLButton), kMouseEventHandled);
    Move(236, 202, kLButton);
    Up(236, 202, kLButton);
    EXPECT_DOUBLE_EQ(Value("FreqA"), 0.25);
    // The gesture's touch and release bracket the parameter's own touch, set request and release.
    EXPECT_EQ(Edits(), (std::vector<Event>{{Kind::Touch, "FreqA", 0}, {Kind::Touch, "FreqA", 0},
                                           {Kind::SetRequest, "FreqA", 0.25}, {Kind::Release, "FreqA", 0},
                                           {Kind::Release, "FreqA", 0}}));
    EXPECT_STREQ(view->MessageText(), "Xover Frequency 2250.00 Hz");
    EXPECT_EQ(view->MessageLabel()->getText(), "Xover Frequency 2250.00 Hz");
    // Every gesture was offered to the host first, which declined.
    EXPECT_EQ(container.offered, (std::vector<std::string>{"down FreqA 0", "drag FreqA 0", "up FreqA 0"}));

    // A Ctrl-drag (the toolkit's command key) is the fine adjustment: a tenth of the speed.
    modelHost.automation.events.clear();
    Down(236, 152, kLButton | kControl);
    Move(236, 102, kLButton | kControl);
    Up(236, 102, kLButton | kControl);
    EXPECT_NEAR(Value("FreqA"), 0.275, 1e-6);
    EXPECT_EQ(container.offered.back(), "up FreqA 8");
}

TEST_F(EditorTest, AltClickRestoresTheDefaultButAltShiftClickDoesNot) {
    ASSERT_EQ(model->UpdateParameterNormalizedValue("InGain", 0.8, AAX_eUpdateSource_Parameter), AAX_SUCCESS);
    gui->ParameterUpdated("InGain");
    modelHost.automation.events.clear();

    Down(34, 257, kLButton | kAlt | kShift);
    Up(34, 257, kLButton | kAlt | kShift);
    EXPECT_FLOAT_EQ(static_cast<float>(Value("InGain")), 0.8f);
    EXPECT_EQ(Edits(), (std::vector<Event>{{Kind::Touch, "InGain", 0}, {Kind::Release, "InGain", 0}}));

    modelHost.automation.events.clear();
    Down(34, 257, kLButton | kAlt);
    Up(34, 257, kLButton | kAlt);
    EXPECT_DOUBLE_EQ(Value("InGain"), 0.5);
    EXPECT_EQ(Edits(), (std::vector<Event>{{Kind::Touch, "InGain", 0}, {Kind::Touch, "InGain", 0},
                                           {Kind::SetRequest, "InGain", 0.5}, {Kind::Release, "InGain", 0},
                                           {Kind::Release, "InGain", 0}}));
    EXPECT_STREQ(view->MessageText(), "Input Gain 100.00 %");

    // A host that reports Option itself turns a plain click into the default click.
    ASSERT_EQ(model->UpdateParameterNormalizedValue("Adj", 0.9, AAX_eUpdateSource_Parameter), AAX_SUCCESS);
    gui->ParameterUpdated("Adj");
    container.hostModifiers = AAX_eModifiers_Option;
    Down(246, 277, kLButton);
    Up(246, 277, kLButton);
    EXPECT_DOUBLE_EQ(Value("Adj"), 0.5);
    EXPECT_EQ(container.offered.back(), "down Adj 4");  // the default click needs no release
}

TEST_F(EditorTest, DoubleClickWheelAndKeysEditThroughTheNormalPath) {
    // A double click restores the default as the Option-click does: touch, set, release.
    ASSERT_EQ(model->UpdateParameterNormalizedValue("InGain", 0.8, AAX_eUpdateSource_Parameter), AAX_SUCCESS);
    gui->ParameterUpdated("InGain");
    modelHost.automation.events.clear();
    Down(34, 257, kLButton);
    Up(34, 257, kLButton);
    EXPECT_FLOAT_EQ(static_cast<float>(Value("InGain")), 0.8f) << "a single click changes nothing";
    modelHost.automation.events.clear();
    EXPECT_EQ(Down(34, 257, kLButton | kDoubleClick), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_DOUBLE_EQ(Value("InGain"), 0.5);
    EXPECT_EQ(Edits(), (std::vector<Event>{{Kind::Touch, "InGain", 0}, {Kind::Touch, "InGain", 0},
                                           {Kind::SetRequest, "InGain", 0.5}, {Kind::Release, "InGain", 0},
                                           {Kind::Release, "InGain", 0}}));
    EXPECT_STREQ(view->MessageText(), "Input Gain 100.00 %");
    // A double click with a modifier is no default click (Shift-double-click starts a fine drag).
    gui->ParameterUpdated("InGain");
    Down(34, 257, kLButton | kDoubleClick | kShift);
    Up(34, 257, kLButton | kShift);
    EXPECT_DOUBLE_EQ(Value("InGain"), 0.5);

    // The wheel over FreqA: one notch up is a hundredth of the range, as one edit with its readout;
    // Shift or Ctrl (the command key) a tenth of that.
    modelHost.automation.events.clear();
    EXPECT_TRUE(view->onWheel(CPoint(236, 152), kMouseWheelAxisY, 1.0f, CButtonState()));
    EXPECT_NEAR(Value("FreqA"), 0.51, 1e-6);
    EXPECT_EQ(Edits().size(), 5u);
    EXPECT_EQ(Edits()[2].kind, Kind::SetRequest);
    EXPECT_STREQ(view->MessageText(), "Xover Frequency 3550.00 Hz");
    gui->ParameterUpdated("FreqA");
    view->onWheel(CPoint(236, 152), kMouseWheelAxisY, -1.0f, CButtonState(kControl));
    EXPECT_NEAR(Value("FreqA"), 0.509, 1e-6);
    gui->ParameterUpdated("FreqA");

    // Keys: the knob under the pointer, else the one last touched (FreqA, turned above).
    VstKeyCode up;
    up.virt = VKEY_UP;
    Move(246, 277, 0);  // over Adj
    EXPECT_EQ(view->onKeyDown(up), 1);
    EXPECT_NEAR(Value("Adj"), 0.51, 1e-6);
    Move(60, 100, 0);  // over the background
    VstKeyCode end;
    end.virt = VKEY_END;
    EXPECT_EQ(view->onKeyDown(end), 1);
    EXPECT_DOUBLE_EQ(Value("FreqA"), 1.0);
    EXPECT_STREQ(view->MessageText(), "Xover Frequency 6000.00 Hz");
}

TEST_F(EditorTest, AGestureTheHostTakesLeavesTheValueAlone) {
    container.takeGestures = true;
    EXPECT_EQ(Down(364, 72, kLButton), kMouseEventHandled);
    EXPECT_EQ(Move(364, 150, kLButton), kMouseEventHandled);
    EXPECT_EQ(Up(364, 150, kLButton), kMouseEventHandled);
    Down(364, 72, kLButton | kAlt);  // not even the default click
    Up(364, 72, kLButton | kAlt);
    EXPECT_DOUBLE_EQ(Value("Width"), 1.0);
    EXPECT_FLOAT_EQ(view->Knob(Tandrel_View::kTagWidth)->getValue(), 1.0f);
    EXPECT_TRUE(modelHost.automation.events.empty());
    EXPECT_STREQ(view->MessageText(), "---");
    EXPECT_EQ(container.offered, (std::vector<std::string>{"down Width 0", "drag Width 0", "up Width 0",
                                                           "down Width 4", "up Width 4"}));
    // A right-button press is offered with the secondary-button bit.
    Down(364, 72, kRButton);
    EXPECT_EQ(container.offered.back(), "down Width 16");
}

TEST_F(EditorTest, PresetButtonsAreOfferedToTheHostAndEditNoParameter) {
    // The host does not know "Load"; the button then acts itself (press, release): the press opens
    // the load dialog, and no parameter is touched.
    Down(130, 12, kLButton);
    EXPECT_FLOAT_EQ(view->Button(0)->getValue(), 1.0f);
    Up(130, 12, kLButton);
    EXPECT_FLOAT_EQ(view->Button(0)->getValue(), 0.0f);
    EXPECT_EQ(container.offered, (std::vector<std::string>{"down Load 0", "up Load 0"}));
    EXPECT_EQ(platform.chooser.starts, 1);
    EXPECT_TRUE(modelHost.automation.events.empty());
    EXPECT_STREQ(view->MessageText(), "---");
}

TEST(EditorButtonState, TranslatesEveryModifierBothWays) {
    struct Case {
        int32_t toolkit;
        uint32_t host;  // what the container reports
        uint32_t mask;
        int32_t merged;
    };
    const Case cases[] = {
        {kLButton | kShift, 0, 1, kLButton | kShift},
        {kLButton | kApple, 0, 2, kLButton | kApple},
        {kLButton | kAlt, 0, 4, kLButton | kAlt},
        {kLButton | kControl, 0, 8, kLButton | kControl},
        {kRButton, 0, 16, kRButton},
        {kLButton, AAX_eModifiers_Command | AAX_eModifiers_Shift, 9, kLButton | kControl | kShift},
        {kLButton, AAX_eModifiers_SecondaryButton | AAX_eModifiers_Control, 18, kLButton | kRButton | kApple},
        {kMButton | kDoubleClick, 0, 0, kMButton | kDoubleClick},
    };
    for (const Case& c : cases) {
        editortest::Container container;
        container.hostModifiers = c.host;
        struct Direct : AAX_IViewContainer {
            editortest::Container* c;
            int32_t GetType() override { return 1; }
            void* GetPtr() override { return nullptr; }
            AAX_Result GetModifiers(uint32_t* m) override { return c->GetModifiers(m); }
            AAX_Result SetViewSize(AAX_Point&) override { return 0; }
            AAX_Result HandleParameterMouseDown(AAX_CParamID, uint32_t) override { return 1; }
            AAX_Result HandleParameterMouseDrag(AAX_CParamID, uint32_t) override { return 1; }
            AAX_Result HandleParameterMouseUp(AAX_CParamID, uint32_t) override { return 1; }
            AAX_Result HandleMultipleParametersMouseDown(const AAX_CParamID*, uint32_t, uint32_t) override { return 1; }
        } direct;
        direct.c = &container;
        const AAX_CVSTGUIButtonState state(CButtonState(c.toolkit), &direct);
        EXPECT_EQ(state.GetAAX_ModifierMask(), c.mask) << c.toolkit;
        EXPECT_EQ(static_cast<int32_t>(state.GetVSTGUI_ButtonState()), c.merged) << c.toolkit;
        const AAX_CVSTGUIButtonState alone(CButtonState(c.toolkit), nullptr);
        EXPECT_EQ(alone.GetVSTGUI_ButtonState() & ~(kLButton | kMButton | kRButton | kDoubleClick),
                  c.toolkit & ~(kLButton | kMButton | kRButton | kDoubleClick));
    }
}

}  // namespace
