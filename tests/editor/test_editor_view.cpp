// The editor's view offscreen: layout against the artwork's sizes, what the host's calls do to it
// (parameter updates, timer: meter bar and hover readout), the pixels it hands over, and teardown.
#include <cstring>

#include "test_editor_fixture.h"

using namespace VSTGUI;
using editortest::EditorTest;

namespace {

TEST_F(EditorTest, LayoutFollowsTheTableAndTheArtworkSizes) {
    CBitmap* background = Tandrel_View::Background();
    ASSERT_NE(background, nullptr) << "artwork not found beside the test program";
    const CCoord W = background->getWidth(), H = background->getHeight();
    EXPECT_EQ(view->getViewSize(), CRect(0, 0, W, H));
    AAX_Point size{-1, -1};
    EXPECT_EQ(gui->GetViewSize(&size), AAX_SUCCESS);
    EXPECT_EQ(size.vert, static_cast<float>(H));
    EXPECT_EQ(size.horz, static_cast<float>(W));

    EXPECT_EQ(view->MessageLabel()->getViewSize(), CRect(10, H - 30, 270, H + 4));
    EXPECT_STREQ(view->MessageText(), "---");
    EXPECT_EQ(view->MessageLabel()->getText(), "---");

    const CCoord b50 = Tandrel_View::Knob50()->getWidth(), h50 = Tandrel_View::Knob50()->getHeight() / 131;
    const CCoord b30 = Tandrel_View::Knob30()->getWidth(), h30 = Tandrel_View::Knob30()->getHeight() / 131;
    EXPECT_EQ(b50, 50);
    EXPECT_EQ(b30, 30);
    const CRect expected[8] = {
        CRect(9, 232, 9 + b50, 232 + h50),     CRect(259, 57, 259 + b30, 57 + h30),
        CRect(349, 57, 349 + b30, 57 + h30),   CRect(221, 137, 221 + b30, 137 + h30),
        CRect(311, 137, 311 + b30, 137 + h30), CRect(141, 262, 141 + b30, 262 + h30),
        CRect(231, 262, 231 + b30, 262 + h30), CRect(321, 232, 321 + b50, 232 + h50),
    };
    const double defaults[8] = {0.5, 0.5, 1.0, 0.5, 1.0, 1.0, 0.5, 0.5};
    for (int tag = 0; tag < 8; ++tag) {
        Tandrel_AnimKnobVST* knob = view->Knob(tag);
        ASSERT_NE(knob, nullptr);
        EXPECT_EQ(knob->getViewSize(), expected[tag]) << "tag " << tag;
        EXPECT_EQ(knob->getTag(), tag);
        EXPECT_STREQ(knob->GetParamID(), Tandrel_View::kKnobIDs[tag]);
        EXPECT_EQ(knob->getNumSubPixmaps(), 131);
        EXPECT_EQ(knob->getOffset(), expected[tag].getTopLeft());
        EXPECT_FLOAT_EQ(knob->getDefaultValue(), static_cast<float>(defaults[tag]));
        // UpdateAllParameters showed the data model's current values when the view was built.
        EXPECT_FLOAT_EQ(knob->getValue(), static_cast<float>(defaults[tag]));
    }
    EXPECT_EQ(view->MeterBar()->getViewSize(), CRect(129, 220, 309, 229));
    EXPECT_EQ(view->MeterBar()->getTag(), 12);
    const char* titles[4] = {"LOAD", "SAVE", "COPY", "PASTE"};
    const char* ids[4] = {"Load", "Save", "Copy", "Paste"};
    const CRect rects[4] = {CRect(108, 3, 158, 23), CRect(163, 3, 213, 23), CRect(223, 3, 273, 23), CRect(278, 3, 328, 23)};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(view->Button(i)->getViewSize(), rects[i]);
        EXPECT_EQ(view->Button(i)->getTitle(), titles[i]);
        EXPECT_STREQ(view->Button(i)->GetParamID(), ids[i]);
        EXPECT_EQ(view->Button(i)->getTag(), 8 + i);
        EXPECT_EQ(view->Button(i)->getFont(), gMyFontSmall);
        EXPECT_EQ(view->Button(i)->getStyle(), CTextButton::kKickStyle);
    }
    // 1 label + 8 knobs + bar + 4 buttons, in that order.
    ASSERT_EQ(view->getNbViews(), 14u);
    EXPECT_EQ(view->getView(0), view->MessageLabel());
    EXPECT_EQ(view->getView(9), view->MeterBar());
}

TEST_F(EditorTest, HostUpdatesMoveKnobsWithoutEditsOrLabelChanges) {
    ASSERT_EQ(model->UpdateParameterNormalizedValue("Width", 0.3, AAX_eUpdateSource_Parameter), AAX_SUCCESS);
    modelHost.automation.events.clear();
    EXPECT_EQ(gui->ParameterUpdated("Width"), AAX_SUCCESS);
    EXPECT_FLOAT_EQ(view->Knob(Tandrel_View::kTagWidth)->getValue(), 0.3f);
    EXPECT_TRUE(modelHost.automation.events.empty());
    EXPECT_STREQ(view->MessageText(), "---");
    // The bypass, unknown and near-miss identifiers change nothing.
    for (const char* id : {"MasterBypass", "width", "Widt", ""}) EXPECT_EQ(gui->ParameterUpdated(id), AAX_SUCCESS);
    EXPECT_FLOAT_EQ(view->Knob(Tandrel_View::kTagWidth)->getValue(), 0.3f);
}

TEST_F(EditorTest, TimerDrivesTheMeterBarAndTheHoverReadout) {
    guiHost.meterController.meter = 0.25f;
    gui->TimerWakeup();
    EXPECT_EQ(guiHost.meterController.lastMeterID, AAX_FourCC("mGR1"));
    EXPECT_FLOAT_EQ(view->MeterBar()->getValue(), 0.75f);
    EXPECT_EQ(view->MeterBar()->BarLength(), 135);

    // The pixels handed to the host show a 135-pixel green bar, then a full one at meter 0.
    std::vector<uint32_t> pixels(400 * 340, 0);
    container.record.mPixels = pixels.data();
    container.record.mStride = 400 * 4;
    container.record.mPixelsWidth = 400;
    container.record.mPixelsHeight = 340;
    AAX_Rect all{0, 0, 400, 340};
    gui->Draw(&all);
    const auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y * 400 + x)]; };
    EXPECT_EQ(at(129, 224), 0xff25b016u);
    EXPECT_EQ(at(129 + 134, 224), 0xff25b016u);
    EXPECT_NE(at(129 + 135, 224), 0xff25b016u);
    guiHost.meterController.meter = 0.0f;
    gui->TimerWakeup();
    EXPECT_EQ(view->MeterBar()->BarLength(), 180);
    gui->Draw(&all);
    EXPECT_EQ(at(308, 224), 0xff25b016u);
    EXPECT_NE(at(309, 224), 0xff25b016u);

    // Hover: the readout of the knob under the pointer appears on every eleventh call only, and
    // only over knobs. The timer has run twice above.
    Move(364, 72, 0);  // over Width (1.0)
    for (int i = 3; i <= 10; ++i) {
        gui->TimerWakeup();
        ASSERT_STREQ(view->MessageText(), "---") << "call " << i;
    }
    gui->TimerWakeup();
    EXPECT_STREQ(view->MessageText(), "Width 100.00 %");
    Move(200, 224, 0);  // over the meter bar
    for (int i = 0; i < 11; ++i) gui->TimerWakeup();
    EXPECT_STREQ(view->MessageText(), "Width 100.00 %");
    Move(34, 257, 0);  // over InGain (0.5)
    for (int i = 0; i < 11; ++i) gui->TimerWakeup();
    EXPECT_STREQ(view->MessageText(), "Input Gain 100.00 %");
    EXPECT_EQ(view->MessageLabel()->getText(), "Input Gain 100.00 %");
}

TEST_F(EditorTest, ReopeningBuildsAFreshViewAndSharesTheArtwork) {
    CBitmap* background = Tandrel_View::Background();
    ASSERT_EQ(model->UpdateParameterNormalizedValue("Dyn", 0.2, AAX_eUpdateSource_Parameter), AAX_SUCCESS);
    gui->SetViewContainer(nullptr);
    EXPECT_EQ(static_cast<Tandrel_GUI*>(gui)->GetContentView(), nullptr);
    AAX_Point size{-1, -1};
    gui->GetViewSize(&size);
    EXPECT_EQ(size.vert, -1.0f) << "no view, no size";
    gui->TimerWakeup();
    EXPECT_EQ(gui->ParameterUpdated("Dyn"), AAX_SUCCESS);

    gui->SetViewContainer(&container);
    auto* fresh = dynamic_cast<Tandrel_View*>(static_cast<Tandrel_GUI*>(gui)->GetContentView());
    ASSERT_NE(fresh, nullptr);
    EXPECT_FLOAT_EQ(fresh->Knob(Tandrel_View::kTagDyn)->getValue(), 0.2f);
    EXPECT_STREQ(fresh->MessageText(), "---");

    // A second editor object of its own loads nothing again.
    AAX_IEffectGUI* second = Tandrel_GUI::Create();
    second->AddRef();
    ASSERT_EQ(second->Initialize(&guiHost), AAX_SUCCESS);
    EXPECT_EQ(Tandrel_View::Background(), background);
    second->Release();  // straight release, without Uninitialize: the destructor cleans up
    view = fresh;
}

TEST_F(EditorTest, OtherContainersBuildNothing) {
    gui->SetViewContainer(nullptr);
    container.type = AAX_eViewContainer_Type_HWND;
    gui->SetViewContainer(&container);
    EXPECT_EQ(static_cast<Tandrel_GUI*>(gui)->GetContentView(), nullptr);
    AAX_Rect all{0, 0, 10, 10};
    EXPECT_EQ(gui->Draw(&all), AAX_SUCCESS);
    gui->SetViewContainer(nullptr);
    container.type = AAX_eViewContainer_Type_NSView;
    gui->SetViewContainer(&container);
    view = dynamic_cast<Tandrel_View*>(static_cast<Tandrel_GUI*>(gui)->GetContentView());
    ASSERT_NE(view, nullptr);
}

// Open and close the editor fifty times, every way the host can end it: each time the whole view
// tree goes (the base's own teardown cannot reach the frame; the bridge's destructor must).
TEST(EditorTeardown, OpenAndCloseFiftyTimesReleasesEveryView) {
    Tandrel_Parameters* model = static_cast<Tandrel_Parameters*>(Tandrel_Parameters::Create());
    model->AddRef();
    fakehost::Host modelHost;
    modelHost.automation.answerSetRequestsWith = model;
    ASSERT_EQ(model->Initialize(&modelHost), AAX_SUCCESS);
    editortest::GuiHost guiHost;
    guiHost.model = model;
    editortest::Container container;
    const int32_t before = CView::getLiveViewCount();
    for (int i = 0; i < 50; ++i) {
        AAX_IEffectGUI* gui = Tandrel_GUI::Create();
        gui->AddRef();
        ASSERT_EQ(gui->Initialize(&guiHost), AAX_SUCCESS);
        gui->SetViewContainer(&container);
        ASSERT_EQ(CView::getLiveViewCount(), before + 15);
        switch (i % 3) {
            case 0: gui->SetViewContainer(nullptr); break;
            case 1: gui->Uninitialize(); break;
            default: break;  // released with the view open
        }
        gui->Release();
        ASSERT_EQ(CView::getLiveViewCount(), before) << "round " << i;
        ASSERT_EQ(container.refs, 0);
    }
    model->Uninitialize();
    model->Release();
}

}  // namespace

namespace {

// A host that offers no data model: the view is still built, its knobs default to 0, edits and the
// timer reach no data model (the bar keeps its value), and the hover readout still works.
TEST(EditorWithoutDataModel, BuildsTheViewAndTouchesNothing) {
    editortest::GuiHost guiHost;  // model stays null: no effect-parameters interface
    editortest::Container container;
    AAX_IEffectGUI* gui = Tandrel_GUI::Create();
    gui->AddRef();
    ASSERT_EQ(gui->Initialize(&guiHost), AAX_SUCCESS);
    gui->SetViewContainer(&container);
    auto* view = dynamic_cast<Tandrel_View*>(static_cast<Tandrel_GUI*>(gui)->GetContentView());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->getParameters(), nullptr);
    for (int tag = 0; tag < 8; ++tag) EXPECT_EQ(view->Knob(tag)->getDefaultValue(), 0.0f);
    view->MeterBar()->setValue(0.5f);
    CPoint p(236, 152);
    view->onMouseDown(p, CButtonState(kLButton));
    p.y = 102;
    view->onMouseMoved(p, CButtonState(kLButton));
    view->onMouseUp(p, CButtonState(kLButton));
    EXPECT_FLOAT_EQ(view->Knob(Tandrel_View::kTagFreqA)->getValue(), 0.25f);
    EXPECT_STREQ(view->MessageText(), "---");
    CPoint over(236, 152);
    view->onMouseMoved(over, CButtonState());
    for (int i = 0; i < 11; ++i) gui->TimerWakeup();
    EXPECT_EQ(guiHost.meterController.lastMeterID, 0u);
    EXPECT_FLOAT_EQ(view->MeterBar()->getValue(), 0.5f);
    EXPECT_STREQ(view->MessageText(), "Xover Frequency 2250.00 Hz");  // hovering over FreqA
    gui->Release();
    EXPECT_EQ(container.refs, 0);
}

}  // namespace
