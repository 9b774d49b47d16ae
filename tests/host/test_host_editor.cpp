// The editor through the module's boundary: the host's view container answers as a host does, the
// editor draws offscreen what the host's parameters and meter say, and opening and closing it leaves
// no object of the plug-in behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AAX_IACFEffectGUI.h"
#include "AAX_IViewContainer.h"
#include "AAX_UIDs.h"
#include "MarovexHost.h"
#include "MarovexViewContainer.h"

namespace {

constexpr uint32_t kBarGreen = 0xff25b016u;

class HostEditor : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        module = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
        ASSERT_NE(module, nullptr) << error;
        baseline = module->LiveObjectCount();
        instance = MarovexInstance::Create(module, AAX_eStemFormat_Stereo, 48000.0f, 256, &error);
        ASSERT_NE(instance, nullptr) << error;
    }
    void TearDown() override {
        instance.reset();
        if (module) {
            EXPECT_EQ(module->LiveObjectCount(), baseline);
        }
    }

    std::vector<uint32_t> Render(MarovexGui& gui, int32_t* w, int32_t* h) {
        std::vector<uint32_t> pixels;
        std::string error;
        EXPECT_TRUE(MarovexRenderEditorOffscreen(gui, &pixels, w, h, [&] { gui.Interface()->TimerWakeup(); }, &error))
            << error;
        return pixels;
    }

    std::shared_ptr<MarovexModule> module;
    std::unique_ptr<MarovexInstance> instance;
    int32_t baseline = 0;
};

TEST_F(HostEditor, OffscreenPictureShowsTheHostsValuesAndMeter) {
    std::string error;
    std::unique_ptr<MarovexGui> gui = instance->CreateGui(&error);
    ASSERT_NE(gui, nullptr) << error;
    gui->OverrideMeters(0.25f);
    int32_t w = 0, h = 0;
    const std::vector<uint32_t> before = Render(*gui, &w, &h);
    ASSERT_EQ(w, 400);
    ASSERT_EQ(h, 340);
    const auto at = [&](const std::vector<uint32_t>& p, int x, int y) { return p[size_t(y * w + x)]; };
    EXPECT_EQ(at(before, 129, 224), kBarGreen);
    EXPECT_EQ(at(before, 129 + 134, 224), kBarGreen);  // meter 0.25: a 135-pixel bar
    EXPECT_NE(at(before, 129 + 135, 224), kBarGreen);

    // A host change of FreqA redraws its knob and nothing else.
    ASSERT_TRUE(instance->SetParameter("FreqA", 0.9, &error)) << error;
    const std::vector<uint32_t> after = Render(*gui, &w, &h);
    int changed = 0, outside = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (at(before, x, y) == at(after, x, y)) continue;
            ++changed;
            if (!(x >= 221 && x < 251 && y >= 137 && y < 167)) ++outside;
        }
    }
    EXPECT_GT(changed, 20);
    EXPECT_EQ(outside, 0);
}

TEST_F(HostEditor, OpeningAndClosingFiftyTimesLeavesNothingBehind) {
    std::string error;
    for (int i = 0; i < 50; ++i) {
        std::unique_ptr<MarovexGui> gui = instance->CreateGui(&error);
        ASSERT_NE(gui, nullptr) << error;
        MarovexViewContainer container(0);
        gui->Interface()->SetViewContainer(container.Unknown());
        AAX_Point size{0, 0};
        gui->Interface()->GetViewSize(&size);
        ASSERT_EQ(size.horz, 400.0f);
        EXPECT_GT(container.PluginReferences(), 0u);
        if (i % 2 == 0) gui->Interface()->SetViewContainer(nullptr);  // else the editor goes with the view open
        gui.reset();
        ASSERT_EQ(container.PluginReferences(), 0u) << "round " << i;
    }
    // Only the data model is left.
    EXPECT_EQ(module->LiveObjectCount(), baseline + 1);
}

TEST(HostViewContainer, AnswersAsAHostDoes) {
    MarovexViewContainer container(0x1234);
    void* v1 = nullptr;
    void* v2 = nullptr;
    ASSERT_EQ(container.Unknown()->QueryInterface(IID_IAAXViewContainerV1, &v1), ACF_OK);
    ASSERT_EQ(container.Unknown()->QueryInterface(IID_IAAXViewContainerV2, &v2), ACF_OK);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(container.Unknown()->QueryInterface(IID_IAAXEffectGUIV1, &none), ACF_E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    auto* c = static_cast<AAX_IACFViewContainer*>(v1);
    EXPECT_EQ(container.PluginReferences(), 2u);

    EXPECT_EQ(c->GetType(), AAX_eViewContainer_Type_NSView);
    auto* record = static_cast<AAX_SX11NativeView*>(c->GetPtr());
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->mSize, sizeof(AAX_SX11NativeView));
    EXPECT_EQ(record->mWindow, 0x1234u);

    uint32_t modifiers = 99;
    container.SetModifiers(AAX_eModifiers_Option | AAX_eModifiers_Shift);
    EXPECT_EQ(c->GetModifiers(&modifiers), AAX_SUCCESS);
    EXPECT_EQ(modifiers, 5u);

    // Gestures are declined unless a handler takes them.
    EXPECT_NE(c->HandleParameterMouseDown("FreqA", 0), AAX_SUCCESS);
    std::vector<std::string> seen;
    container.SetGestureHandler([&](MarovexGesture kind, const std::string& id, uint32_t m) {
        seen.push_back(std::to_string(int(kind)) + " " + id + " " + std::to_string(m));
        return id == "FreqA";
    });
    EXPECT_EQ(c->HandleParameterMouseDown("FreqA", 4), AAX_SUCCESS);
    EXPECT_EQ(c->HandleParameterMouseDrag("FreqA", 4), AAX_SUCCESS);
    EXPECT_EQ(c->HandleParameterMouseUp("FreqA", 0), AAX_SUCCESS);
    EXPECT_NE(c->HandleParameterMouseDown("Load", 0), AAX_SUCCESS);
    EXPECT_EQ(seen, (std::vector<std::string>{"0 FreqA 4", "1 FreqA 4", "2 FreqA 0", "0 Load 0"}));

    // The run loop: a registered descriptor is listed and its handler called; unregistered, not.
    int calls = 0;
    auto handler = [](void* context) { ++*static_cast<int*>(context); };
    ASSERT_EQ(record->mRegisterEventFd(record->mHostContext, 7, handler, &calls), 0);
    EXPECT_EQ(container.EventDescriptors(), std::vector<int>{7});
    container.HandleEvents(7);
    container.HandleEvents(8);
    container.HandleAllEvents();
    EXPECT_EQ(calls, 2);
    record->mUnregisterEventFd(record->mHostContext, 7);
    EXPECT_TRUE(container.EventDescriptors().empty());
    EXPECT_NE(record->mRegisterEventFd(record->mHostContext, -1, handler, &calls), 0);

    c->Release();
    static_cast<AAX_IACFViewContainer_V2*>(v2)->Release();
    EXPECT_EQ(container.PluginReferences(), 0u);
}

}  // namespace
