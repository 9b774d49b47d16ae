// The editor opened offscreen against the effect's data model: a fake host answers the GUI's host
// object (data model, controller with a settable meter), and a fake view container of type 1 hands
// over an X11 native-view record without a window, so the frame draws into pixels the test owns.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AAX_IViewContainer.h"
#include "Libs/test_model_fake_host.h"
#include "MyC_HBar.h"
#include "Tandrel_AnimKnobVST.h"
#include "Tandrel_GUI.h"
#include "Tandrel_Parameters.h"
#include "Tandrel_TextButtonVST.h"
#include "Tandrel_View.h"
#include "toolkit/toolkit_fakes.h"

namespace editortest {

class MeterController : public fakehost::Controller {
public:
    float meter = 0.25f;
    AAX_Result GetCurrentMeterValue(AAX_CTypeID id, float* value) const override {
        lastMeterID = id;
        *value = meter;
        return AAX_SUCCESS;
    }
    mutable AAX_CTypeID lastMeterID = 0;
};

// The host object the GUI is initialised with: the data model's interface and the controller.
class GuiHost : public fakehost::Host {
public:
    AAX_IACFEffectParameters* model = nullptr;
    MeterController meterController;

    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        if (iid == IID_IAAXEffectParametersV1 && model != nullptr) return model->QueryInterface(iid, out);
        if (iid == IID_IAAXControllerV1 || iid == IID_IAAXControllerV2) return meterController.QueryInterface(iid, out);
        return fakehost::Host::QueryInterface(iid, out);
    }
};

// A view container that records the gestures offered to it and takes them when told to.
class Container : public AAX_IACFViewContainer, public fakehost::RefCounted {
public:
    AAX_SX11NativeView record{};
    int32_t type = AAX_eViewContainer_Type_NSView;
    bool takeGestures = false;
    uint32_t hostModifiers = 0;
    std::vector<std::string> offered;  // "down FreqA 4", "drag ...", "up ..."

    Container() {
        record.mSize = sizeof(record);
        record.mWindow = 0;
    }
    ACFRESULT QueryInterface(const acfIID& iid, void** out) override {
        return Answer(static_cast<AAX_IACFViewContainer*>(this), iid, out, {IID_IACFUnknown, IID_IAAXViewContainerV1});
    }
    uint32_t AddRef() override { return uint32_t(++refs); }
    uint32_t Release() override { return uint32_t(--refs); }
    int32_t GetType() override { return type; }
    void* GetPtr() override { return &record; }
    AAX_Result GetModifiers(uint32_t* modifiers) override {
        *modifiers = hostModifiers;
        return AAX_SUCCESS;
    }
    AAX_Result SetViewSize(AAX_Point&) override { return AAX_SUCCESS; }
    AAX_Result HandleParameterMouseDown(AAX_CParamID id, uint32_t m) override { return Offer("down", id, m); }
    AAX_Result HandleParameterMouseDrag(AAX_CParamID id, uint32_t m) override { return Offer("drag", id, m); }
    AAX_Result HandleParameterMouseUp(AAX_CParamID id, uint32_t m) override { return Offer("up", id, m); }

private:
    AAX_Result Offer(const char* what, AAX_CParamID id, uint32_t m) {
        offered.push_back(std::string(what) + " " + id + " " + std::to_string(m));
        return takeGestures ? AAX_SUCCESS : AAX_ERROR_UNIMPLEMENTED;
    }
};

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        model = static_cast<Tandrel_Parameters*>(Tandrel_Parameters::Create());
        model->AddRef();
        modelHost.automation.answerSetRequestsWith = model;
        ASSERT_EQ(model->Initialize(&modelHost), AAX_SUCCESS);
        guiHost.model = model;
        gui = Tandrel_GUI::Create();
        gui->AddRef();
        ASSERT_EQ(gui->Initialize(&guiHost), AAX_SUCCESS);
        ASSERT_EQ(gui->SetViewContainer(&container), AAX_SUCCESS);
        view = dynamic_cast<Tandrel_View*>(static_cast<Tandrel_GUI*>(gui)->GetContentView());
        ASSERT_NE(view, nullptr);
        modelHost.automation.events.clear();
    }
    void TearDown() override {
        gui->Uninitialize();
        gui->Release();
        EXPECT_EQ(container.refs, 0);
        EXPECT_EQ(guiHost.OutstandingReferences() + guiHost.meterController.refs, 0);
        model->Uninitialize();
        model->Release();
    }

    // Mouse events as the window system delivers them to the frame.
    VSTGUI::CMouseEventResult Down(double x, double y, int32_t state) {
        VSTGUI::CPoint p(x, y);
        return view->onMouseDown(p, VSTGUI::CButtonState(state));
    }
    VSTGUI::CMouseEventResult Move(double x, double y, int32_t state) {
        VSTGUI::CPoint p(x, y);
        return view->onMouseMoved(p, VSTGUI::CButtonState(state));
    }
    VSTGUI::CMouseEventResult Up(double x, double y, int32_t state) {
        VSTGUI::CPoint p(x, y);
        return view->onMouseUp(p, VSTGUI::CButtonState(state));
    }

    // A click on a preset button (0 LOAD, 1 SAVE, 2 COPY, 3 PASTE): press, then release.
    void Click(int button) {
        const VSTGUI::CRect r = view->Button(button)->getViewSize();
        Down(r.left + 5, r.top + 5, VSTGUI::kLButton);
        Up(r.left + 5, r.top + 5, VSTGUI::kLButton);
    }

    double Value(const char* id) {
        double v = -1;
        EXPECT_EQ(model->GetParameterNormalizedValue(id, &v), AAX_SUCCESS);
        return v;
    }

    // The automation calls of the data model, without the echoes of accepted values.
    std::vector<fakehost::Automation::Event> Edits() const {
        std::vector<fakehost::Automation::Event> edits;
        for (const auto& e : modelHost.automation.events) {
            if (e.kind != fakehost::Automation::Kind::CurrentValue) edits.push_back(e);
        }
        return edits;
    }

    // The clipboard and the file chooser are the test's own (declared first: it outlives the editor).
    toolkitfakes::FakePlatform platform;
    fakehost::Host modelHost;
    GuiHost guiHost;
    Container container;
    Tandrel_Parameters* model = nullptr;
    AAX_IEffectGUI* gui = nullptr;
    Tandrel_View* view = nullptr;
};

}  // namespace editortest
