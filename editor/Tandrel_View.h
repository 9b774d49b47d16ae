// The editor's content view: the frame that lays out the eight knobs, the meter bar, the four preset
// buttons and the message label over the background bitmap, and listens to all of its controls.
//
// Threading: the host's user-interface thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "VSTGUI_ContentView.h"
#include "vstgui/vstgui.h"

class AAX_IViewContainer;
class MyC_HBar;
class Tandrel_AnimKnobVST;
class Tandrel_TextButtonVST;

namespace VSTGUI {
class CNewFileSelector;
}

// The editor's palette (set once at program start).
extern const VSTGUI::CColor kMyWhiteCColor;
extern const VSTGUI::CColor kMyMidGreyCColor;
extern const VSTGUI::CColor kMyGreyCColor;
extern const VSTGUI::CColor kMyDarkGreyCColor;
extern const VSTGUI::CColor kLogoColor;
extern const VSTGUI::CColor kMyCyanColor;

// The editor's fonts, created by the first view and kept until the process ends.
extern VSTGUI::CFontRef gMyFont;
extern VSTGUI::CFontRef gMyFontSmall;
extern VSTGUI::CFontRef gMyFontBig;
extern VSTGUI::CFontRef gMyFontLogo;

class Tandrel_View : public VSTGUI_ContentView, public VSTGUI::IControlListener {
public:
    // Control tags.
    enum : int32_t {
        kTagInGain = 0, kTagFreqW, kTagWidth, kTagFreqA, kTagAction, kTagDyn, kTagAdj, kTagOutGain,
        kTagLoad = 8, kTagSave, kTagCopy, kTagPaste,
        kTagMeter = 12,
    };
    static constexpr int kKnobFrames = 131;
    // The knobs' parameter identifiers, in tag order.
    static const char* const kKnobIDs[8];

    // LoadViewResources must have run. `container` is not owned and may be null.
    Tandrel_View(void* parent, AAX_IACFEffectParameters* parameters, VSTGUI::VSTGUIEditorInterface* editor,
                 AAX_IViewContainer* container);

    // Loads the background and the two knob film strips from the resources, once per process (holders
    // already filled are left alone).
    static void LoadViewResources();
    static VSTGUI::CBitmap* Background();
    static VSTGUI::CBitmap* Knob50();
    static VSTGUI::CBitmap* Knob30();

    // IControlListener: user edits become data-model calls and label readouts.
    void valueChanged(VSTGUI::CControl* control) override;
    void controlBeginEdit(VSTGUI::CControl* control) override;
    void controlEndEdit(VSTGUI::CControl* control) override;

    // The host timer: the hover readout every eleventh call, the meter bar on every call. Returns 1.
    int32_t TimerWakeup();

    // Presets (the four preset buttons). The text format and its reader are the shared preset module's.
    // Composes the preset text from the data model's values, keeps it and puts it on the clipboard.
    void composePresetToClipboard();
    // Composes, then writes it to the preset path, ".mrv" appended when the path holds ".mrv"
    // nowhere; once the file holds it, the clipboard gets the preset too. The file is replaced whole
    // or not at all. A path longer than 255 characters is refused. The label tells what happened
    // ("Saved NAME", "Cannot Save NAME"); a failure's reason goes to the host's log.
    void savePresetToDisc();
    // Reads (at most 10007 bytes of) the file at the preset path, and applies it when it is a preset.
    // The label tells what happened ("Loaded NAME", "Cannot Load NAME", "Not a Preset: NAME"); a
    // failure changes no parameter, and its reason goes to the host's log.
    void loadPresetFromDisc();
    // The path a preset chosen as `chosen` is written to: ".mrv" appended when it holds ".mrv" nowhere.
    static std::string PresetPathToWrite(const std::string& chosen);
    // Reads the clipboard's text and applies it when it is a preset: true when it was applied.
    bool scanPresetFromClipboard();
    // Sets the eight parameters from the scanned values, one by one through the data model.
    void applyPresetToParameters();
    // The preset path the dialogs fill (tests set it directly). False (and nothing changed) for a
    // path that does not fit its 1000-character buffer.
    bool setPresetPath(const char* path);
    const char* presetPath() const { return mPresetPath; }
    const char* presetText() const { return mPresetText; }
    // The open preset dialog, or null.
    VSTGUI::CNewFileSelector* presetDialog() const { return mFileSelector; }

    // The knob of a tag (0 to 7), or null.
    Tandrel_AnimKnobVST* Knob(int32_t tag) const { return tag >= 0 && tag < 8 ? mKnobs[tag] : nullptr; }
    Tandrel_TextButtonVST* Button(int32_t index) const { return index >= 0 && index < 4 ? mButtons[index] : nullptr; }
    MyC_HBar* MeterBar() const { return mMeterBar; }
    VSTGUI::CTextLabel* MessageLabel() const { return mMessageLabel; }
    const char* MessageText() const { return mMessageText; }

protected:
    ~Tandrel_View() override;

private:
    // Formats (or copies) into the message text, then shows it.
    void ShowMessage(const char* text);
    void ShowReadout(int32_t tag, float value);
    // The preset text from the data model's values, into the view's preset text.
    void ComposePresetText();
    // A LOAD or SAVE that failed: "WHAT NAME" in the label, the path and the reason in the host's log.
    void PresetFailure(const char* what, const char* path, const char* why);
    double DefaultValue(const char* id) const;
    // Opens the LOAD or SAVE dialog unless one is open already; it runs in the background and the
    // timer finishes it.
    void RunPresetDialog(bool save);
    void FinishPresetDialog(VSTGUI::CNewFileSelector* selector, bool save);
    // Scans the first `length` bytes of the read buffer into the scanned preset; true when valid.
    bool ScanReadBuffer(size_t length, bool fromClipboard);

    int32_t mHoverCounter;
    char mMessageText[256];
    VSTGUI::CTextLabel* mMessageLabel;
    Tandrel_AnimKnobVST* mKnobs[8];
    MyC_HBar* mMeterBar;
    VSTGUI::CNewFileSelector* mFileSelector;  // set while a preset dialog is open
    Tandrel_TextButtonVST* mButtons[4];        // LOAD, SAVE, COPY, PASTE
    char mPresetText[10000];
    char mPresetPath[1000];
    char mPresetProduct[43];
    float mPresetValues[8];
    float mPresetVersion;
    char mReadBuffer[10008];
    AAX_IViewContainer* mViewContainer;
};
