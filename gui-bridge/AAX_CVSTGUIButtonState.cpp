// Modifier translation between the toolkit and the host.
#include "AAX_CVSTGUIButtonState.h"

#include "AAX_IViewContainer.h"

namespace {
// Toolkit bit -> host bit: Shift, Control (the toolkit's kApple), Option (kAlt), Command (the
// toolkit's kControl), right button.
struct BitPair {
    uint32_t toolkit;
    uint32_t host;
};
constexpr BitPair kPairs[] = {
    {VSTGUI::kShift, AAX_eModifiers_Shift},
    {VSTGUI::kApple, AAX_eModifiers_Control},
    {VSTGUI::kAlt, AAX_eModifiers_Option},
    {VSTGUI::kControl, AAX_eModifiers_Command},
    {VSTGUI::kRButton, AAX_eModifiers_SecondaryButton},
};
static_assert(VSTGUI::kLButton == 2 && VSTGUI::kMButton == 4 && VSTGUI::kRButton == 8 && VSTGUI::kShift == 16 &&
                  VSTGUI::kControl == 32 && VSTGUI::kAlt == 64 && VSTGUI::kApple == 128,
              "the toolkit's button bits are fixed");
}  // namespace

AAX_CVSTGUIButtonState::AAX_CVSTGUIButtonState(const VSTGUI::CButtonState& state, AAX_IViewContainer* container)
    : mModifiers(0), mButtonState(static_cast<uint32_t>(static_cast<int32_t>(state))) {
    for (const BitPair& p : kPairs) {
        if (mButtonState & p.toolkit) mModifiers |= p.host;
    }
    if (container != nullptr) {
        uint32_t hostModifiers = 0;
        container->GetModifiers(&hostModifiers);
        mModifiers |= hostModifiers;
    }
    for (const BitPair& p : kPairs) {
        if (mModifiers & p.host) mButtonState |= p.toolkit;
    }
}
