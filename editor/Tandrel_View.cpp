// The editor's content view: layout, control events and the timer.
#include "Tandrel_View.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "AAX_CEffectGUI.h"
#include "AAX_CHostServices.h"
#include "AAX_IACFEffectParameters.h"
#include "AAX_IController.h"
#include "MarovexPalette.h"
#include "MarovexPresetText.h"
#include "MarovexReadout.h"
#include "MyC_HBar.h"
#include "Tandrel_AnimKnobVST.h"
#include "Tandrel_TextButtonVST.h"

using namespace VSTGUI;

namespace {
constexpr CColor Opaque(MarovexRgb c) { return CColor(c.r, c.g, c.b, 255); }
}  // namespace

const CColor kMyWhiteCColor = Opaque(kMarovexWhite);
const CColor kMyMidGreyCColor = Opaque(kMarovexMidGrey);
const CColor kMyGreyCColor = Opaque(kMarovexGrey);
const CColor kMyDarkGreyCColor = Opaque(kMarovexDarkGrey);
const CColor kLogoColor = Opaque(kMarovexLogo);
const CColor kMyCyanColor = Opaque(kMarovexCyan);

CFontRef gMyFont = nullptr;
CFontRef gMyFontSmall = nullptr;
CFontRef gMyFontBig = nullptr;
CFontRef gMyFontLogo = nullptr;

const char* const Tandrel_View::kKnobIDs[8] = {"InGain", "FreqW", "Width", "FreqA", "Action", "Dyn", "Adj", "OutGain"};

namespace {

constexpr AAX_CTypeID kMeterGR1 = AAX_FourCC("mGR1");

// A bitmap held for the rest of the process: filled once, released when the process ends. A resource
// that could not be read does not fill the holder, so a later editor tries again.
class BitmapHolder {
public:
    ~BitmapHolder() {
        if (mBitmap != nullptr) mBitmap->forget();
    }
    CBitmap* get() const { return mBitmap; }
    void loadOnce(const char* name) {
        if (mBitmap != nullptr) return;
        auto* bitmap = new CBitmap(CResourceDescription(name));
        if (bitmap->isLoaded()) {
            mBitmap = bitmap;
        } else {
            bitmap->forget();
        }
    }

private:
    CBitmap* mBitmap = nullptr;
};

BitmapHolder m_hPIBackground;
BitmapHolder HKnob50;
BitmapHolder HKnob30;

// Releases the editor's fonts when the module's statics go (at process exit, or when the host
// unloads the module).
struct FontRelease {
    ~FontRelease() {
        for (CFontRef* font : {&gMyFont, &gMyFontSmall, &gMyFontBig, &gMyFontLogo}) {
            if (*font != nullptr) (*font)->forget();
            *font = nullptr;
        }
    }
} gFontRelease;

void CreateFontsOnce() {
    if (gMyFont == nullptr) gMyFont = new CFontDesc(kMarovexFontFamily, kMarovexFontNormal, kNormalFace);
    if (gMyFontSmall == nullptr) gMyFontSmall = new CFontDesc(kMarovexFontFamily, kMarovexFontSmall, kNormalFace);
    if (gMyFontBig == nullptr) gMyFontBig = new CFontDesc(kMarovexFontFamily, kMarovexFontBig, kNormalFace);
    if (gMyFontLogo == nullptr) gMyFontLogo = new CFontDesc(kMarovexFontFamily, kMarovexFontLogo, kNormalFace);
}

struct KnobPlace {
    int32_t tag;
    bool large;
    CCoord left;
    CCoord top;
};
// The knobs in the order they are added; rectangles are (left, top) + the film frame's size.
constexpr KnobPlace kKnobPlaces[8] = {
    {Tandrel_View::kTagInGain, true, 9, 232},   {Tandrel_View::kTagFreqW, false, 259, 57},
    {Tandrel_View::kTagWidth, false, 349, 57},  {Tandrel_View::kTagFreqA, false, 221, 137},
    {Tandrel_View::kTagAction, false, 311, 137}, {Tandrel_View::kTagDyn, false, 141, 262},
    {Tandrel_View::kTagAdj, false, 231, 262},   {Tandrel_View::kTagOutGain, true, 321, 232},
};

struct ButtonPlace {
    int32_t tag;
    const char* id;
    const char* title;
    CRect rect;
};
const ButtonPlace kButtonPlaces[4] = {
    {Tandrel_View::kTagLoad, "Load", "LOAD", CRect(108, 3, 158, 23)},
    {Tandrel_View::kTagSave, "Save", "SAVE", CRect(163, 3, 213, 23)},
    {Tandrel_View::kTagCopy, "Copy", "COPY", CRect(223, 3, 273, 23)},
    {Tandrel_View::kTagPaste, "Paste", "PASTE", CRect(278, 3, 328, 23)},
};

}  // namespace

void Tandrel_View::LoadViewResources() {
    m_hPIBackground.loadOnce("Marovex_sfondo.png");
    HKnob50.loadOnce("Knob_Vintage_2_Silver_50.png");
    HKnob30.loadOnce("Knob_Vintage_2_Silver_30.png");
}

CBitmap* Tandrel_View::Background() { return m_hPIBackground.get(); }
CBitmap* Tandrel_View::Knob50() { return HKnob50.get(); }
CBitmap* Tandrel_View::Knob30() { return HKnob30.get(); }

Tandrel_View::Tandrel_View(void* parent, AAX_IACFEffectParameters* parameters, VSTGUIEditorInterface* editor,
                           AAX_IViewContainer* container)
    : VSTGUI_ContentView(parent, parameters, editor),
      mHoverCounter(0),
      mMessageText{},
      mMessageLabel(nullptr),
      mKnobs{},
      mMeterBar(nullptr),
      mFileSelector(nullptr),
      mButtons{},
      mPresetText{},
      mPresetPath{},
      mPresetProduct{},
      mPresetValues{},
      mPresetVersion(0.0f),
      mReadBuffer{},
      mViewContainer(container) {
    std::strcpy(mMessageText, "---");
    CBitmap* background = Background();
    CBitmap* knob50 = Knob50();
    CBitmap* knob30 = Knob30();
    const CCoord W = background ? background->getWidth() : 0;
    const CCoord H = background ? background->getHeight() : 0;

    // 1. Frame size, colour and background.
    setSize(W, H);
    setBackgroundColor(Opaque(kMarovexBackground));
    setBackground(background);

    // 2. Fonts.
    CreateFontsOnce();

    // 3. The message label (it reaches 4 pixels below the frame's bottom edge).
    mMessageLabel = new CTextLabel(CRect(10, H - 30, 270, H + 4), mMessageText, nullptr, 0);
    mMessageLabel->setFont(kNormalFont);
    mMessageLabel->setFontColor(Opaque(kMarovexMessageText));
    mMessageLabel->setBackColor(kTransparentCColor);
    mMessageLabel->setFrameColor(kTransparentCColor);
    mMessageLabel->setHoriAlign(kLeftText);
    addView(mMessageLabel);

    // 4. Knobs, meter bar, buttons.
    for (const KnobPlace& place : kKnobPlaces) {
        CBitmap* strip = place.large ? knob50 : knob30;
        const CCoord bw = strip ? strip->getWidth() : 0;
        const CCoord bh = strip ? strip->getHeight() : 0;
        const CRect rect(place.left, place.top, place.left + bw, place.top + bh / kKnobFrames);
        auto* knob = new Tandrel_AnimKnobVST(rect, this, place.tag, kKnobFrames, bh / kKnobFrames, strip,
                                             rect.getTopLeft());
        knob->SetViewContainer(container);
        knob->SetParamID(kKnobIDs[place.tag]);
        knob->setMin(0.0f);
        knob->setMax(1.0f);
        if (parameters != nullptr) knob->setDefaultValue(static_cast<float>(DefaultValue(kKnobIDs[place.tag])));
        mKnobs[place.tag] = knob;
        addView(knob);
    }

    mMeterBar = new MyC_HBar(CRect(129, 220, 309, 229), this, kTagMeter, 1, 1, nullptr, CPoint(0, 0));
    mMeterBar->setMin(0.0f);
    mMeterBar->setMax(1.0f);
    addView(mMeterBar);

    for (int i = 0; i < 4; ++i) {
        const ButtonPlace& place = kButtonPlaces[i];
        auto* button = new Tandrel_TextButtonVST(place.rect, this, place.tag, place.title, CTextButton::kKickStyle);
        button->SetViewContainer(container);
        button->SetParamID(place.id);
        button->setFont(gMyFontSmall);
        button->setTextColor(kMyGreyCColor);
        button->setTextColorHighlighted(kWhiteCColor);
        button->setGradient(nullptr);
        button->setGradientHighlighted(nullptr);
        button->setFrameColor(kTransparentCColor);
        button->setFrameColorHighlighted(kTransparentCColor);
        button->setMin(0.0f);
        button->setMax(1.0f);
        button->setDefaultValue(parameters != nullptr ? static_cast<float>(DefaultValue(place.id)) : 0.0f);
        mButtons[i] = button;
        addView(button);
    }
}

Tandrel_View::~Tandrel_View() {
    // A dialog still open when the editor closes is closed with it; its answer is dropped.
    if (mFileSelector != nullptr) {
        CNewFileSelector* selector = mFileSelector;
        mFileSelector = nullptr;
        selector->forget();
    }
}

double Tandrel_View::DefaultValue(const char* id) const {
    double value = 0.0;
    if (getParameters() != nullptr) getParameters()->GetParameterDefaultNormalizedValue(id, &value);
    return value;
}

void Tandrel_View::ShowMessage(const char* text) {
    if (text != mMessageText) std::snprintf(mMessageText, sizeof(mMessageText), "%s", text);
    if (mMessageLabel != nullptr) {
        mMessageLabel->setText(mMessageText);
        mMessageLabel->invalid();
    }
}

void Tandrel_View::ShowReadout(int32_t tag, float value) {
    if (MarovexFormatReadout(tag, value, mMessageText, sizeof(mMessageText))) ShowMessage(mMessageText);
}

void Tandrel_View::valueChanged(CControl* control) {
    AAX_IACFEffectParameters* parameters = getParameters();
    if (parameters == nullptr || control == nullptr) return;
    const int32_t tag = control->getTag();
    const float v = control->getValue();
    switch (tag) {
        case kTagInGain:
        case kTagFreqW:
        case kTagWidth:
        case kTagFreqA:
        case kTagAction:
        case kTagDyn:
        case kTagAdj:
        case kTagOutGain:
            parameters->SetParameterNormalizedValue(kKnobIDs[tag], v);
            ShowReadout(tag, v);
            break;
        // The preset buttons act on the press only (v > 0.5); the release does nothing.
        // LOAD and SAVE: the label shows what happened once the dialog has closed.
        case kTagLoad:
            if (v > 0.5f) RunPresetDialog(false);
            break;
        case kTagSave:
            if (v > 0.5f) RunPresetDialog(true);
            break;
        case kTagCopy:
            if (v > 0.5f) {
                composePresetToClipboard();
                ShowMessage("Preset to Clipboard");
            }
            break;
        case kTagPaste:
            if (v > 0.5f) ShowMessage(scanPresetFromClipboard() ? "Preset From Clipboard" : "Failed From Clipboard");
            break;
        default:
            break;  // the meter bar and anything else
    }
}

void Tandrel_View::controlBeginEdit(CControl* control) {
    AAX_IACFEffectParameters* parameters = getParameters();
    if (parameters == nullptr || control == nullptr) return;
    const int32_t tag = control->getTag();
    if (tag >= kTagInGain && tag <= kTagOutGain) parameters->TouchParameter(kKnobIDs[tag]);
}

void Tandrel_View::controlEndEdit(CControl* control) {
    AAX_IACFEffectParameters* parameters = getParameters();
    if (parameters == nullptr || control == nullptr) return;
    const int32_t tag = control->getTag();
    if (tag >= kTagInGain && tag <= kTagOutGain) parameters->ReleaseParameter(kKnobIDs[tag]);
}

int32_t Tandrel_View::TimerWakeup() {
    // An open preset dialog runs on its own; finish it here once the user has closed it.
    if (mFileSelector != nullptr) mFileSelector->poll();
    if (++mHoverCounter >= 11) {
        CPoint where;
        getCurrentMouseLocation(where);
        CView* over = getViewAt(where);
        for (int32_t tag = 0; tag < 8; ++tag) {
            if (over != nullptr && over == mKnobs[tag]) {
                ShowReadout(tag, mKnobs[tag]->getValue());
                break;
            }
        }
        mHoverCounter = 0;
    }
    if (mMeterBar != nullptr) {
        float m = 0.5f;
        auto* gui = dynamic_cast<AAX_CEffectGUI*>(getEditor());
        if (getParameters() != nullptr && gui != nullptr && gui->GetController() != nullptr) {
            gui->GetController()->GetCurrentMeterValue(kMeterGR1, &m);
            mMeterBar->setValue(1.0f - m);
            mMeterBar->invalid();
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Presets. Buffers are the view's fixed ones; every copy into them is bounded, and paths are never
// cut: a cut path would name some other file.

namespace {
// The longest path a preset file is opened under (the working buffer holds it and its NUL).
constexpr size_t kPresetWorkingPathSize = 256;

// What a message names a file by: the part after the last slash.
const char* FileName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr && slash[1] != '\0' ? slash + 1 : path;
}

// Writes `size` bytes to `path` so that the file holds either its old contents or all of the new
// ones, never a part: into a new file beside it, flushed to the disk, then renamed over it. A link
// is followed and the file behind it replaced (the link stays); the file keeps its permissions. False
// and errno on failure, with nothing left behind.
bool ReplaceFile(const char* path, const char* bytes, size_t size) {
    std::string target = path;
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path, resolved) == nullptr) return false;
        target = resolved;
    }
    const bool existed = stat(target.c_str(), &st) == 0;
    if (existed && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;  // a folder, a device: nothing to replace
        return false;
    }
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + ".saving-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        // A new file gets the usual permissions (the process's umask applies).
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < size;) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    if (ok && existed) ok = fchmod(fd, st.st_mode & 07777) == 0;
    if (ok) ok = fsync(fd) == 0;
    int failure = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok && rename(temporary.c_str(), target.c_str()) == 0) return true;
    if (ok) failure = errno;
    unlink(temporary.c_str());
    errno = failure;
    return false;
}
}  // namespace

std::string Tandrel_View::PresetPathToWrite(const std::string& chosen) {
    return chosen.find(".mrv") == std::string::npos ? chosen + ".mrv" : chosen;
}

static_assert(kMarovexPresetValueCount == 8, "a preset holds the eight knobs' parameters");

bool Tandrel_View::setPresetPath(const char* path) {
    const size_t length = path != nullptr ? std::strlen(path) : 0;
    if (path == nullptr || length >= sizeof(mPresetPath)) return false;
    std::memcpy(mPresetPath, path, length + 1);
    return true;
}

void Tandrel_View::composePresetToClipboard() {
    if (getParameters() == nullptr) return;
    ComposePresetText();
    setClipboardText(mPresetText);
}

void Tandrel_View::ComposePresetText() {
    AAX_IACFEffectParameters* parameters = getParameters();
    if (parameters == nullptr) return;
    std::array<double, kMarovexPresetValueCount> values{};
    for (size_t i = 0; i < kMarovexPresetValueCount; ++i) {
        double value = 0.0;
        parameters->GetParameterNormalizedValue(kMarovexPresetIdentifiers[i], &value);
        values[i] = value;
    }
    const std::string text = MarovexComposePresetText(values);
    static_assert(kMarovexPresetComposeBufferSize == sizeof(mPresetText), "the module knows the editor's buffer");
    std::snprintf(mPresetText, sizeof(mPresetText), "%s", text.c_str());
}

void Tandrel_View::savePresetToDisc() {
    AAX_IACFEffectParameters* parameters = getParameters();
    if (parameters == nullptr) return;
    size_t length = strnlen(mPresetPath, sizeof(mPresetPath));
    if (std::strstr(mPresetPath, ".mrv") == nullptr) {
        if (length + 4 >= sizeof(mPresetPath)) {
            PresetFailure("Cannot Save", mPresetPath, "the path is too long");
            return;
        }
        std::memcpy(mPresetPath + length, ".mrv", 5);
        length += 4;
    }
    if (length >= kPresetWorkingPathSize) {  // refused: nothing is opened
        PresetFailure("Cannot Save", mPresetPath, "the path is longer than 255 characters");
        return;
    }
    char path[kPresetWorkingPathSize];
    std::memcpy(path, mPresetPath, length + 1);
    // The text first, the clipboard only once the file holds it: a failed save leaves the clipboard
    // as the user had it.
    ComposePresetText();
    if (!ReplaceFile(path, mPresetText, strnlen(mPresetText, sizeof(mPresetText)))) {
        PresetFailure("Cannot Save", path, std::strerror(errno));
        return;
    }
    setClipboardText(mPresetText);
    ShowMessage((std::string("Saved ") + FileName(path)).c_str());
}

void Tandrel_View::loadPresetFromDisc() {
    if (getParameters() == nullptr) return;
    const size_t length = strnlen(mPresetPath, sizeof(mPresetPath));
    if (length >= kPresetWorkingPathSize) {  // refused: nothing is opened
        PresetFailure("Cannot Load", mPresetPath, "the path is longer than 255 characters");
        return;
    }
    char path[kPresetWorkingPathSize];
    std::memcpy(path, mPresetPath, length + 1);
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        PresetFailure("Cannot Load", path, std::strerror(errno));
        return;
    }
    // At most what the read buffer holds besides its NUL; the rest of a longer file is not read.
    const size_t read = std::fread(mReadBuffer, 1, sizeof(mReadBuffer) - 1, file);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    mReadBuffer[read] = '\0';
    if (failed) {
        PresetFailure("Cannot Load", path, std::strerror(error));
        return;
    }
    if (!ScanReadBuffer(read, false)) {
        PresetFailure("Not a Preset:", path, "the file is not a preset (nothing was changed)");
        return;
    }
    applyPresetToParameters();
    ShowMessage((std::string("Loaded ") + FileName(path)).c_str());
}

void Tandrel_View::PresetFailure(const char* what, const char* path, const char* why) {
    // The label says what failed; the host's log says why, with the whole path.
    AAX_CHostServices::Trace(AAX_eTracePriorityHost_Critical, "preset: %s %s: %s", what, path, why);
    ShowMessage((std::string(what) + " " + FileName(path)).c_str());
}

bool Tandrel_View::scanPresetFromClipboard() {
    if (getParameters() == nullptr) return false;
    std::string text;
    if (!getClipboardText(text, sizeof(mReadBuffer) - 1)) return false;
    const size_t length = text.size() < sizeof(mReadBuffer) - 1 ? text.size() : sizeof(mReadBuffer) - 1;
    std::memcpy(mReadBuffer, text.data(), length);
    mReadBuffer[length] = '\0';
    if (!ScanReadBuffer(length, true)) return false;
    applyPresetToParameters();
    return true;
}

bool Tandrel_View::ScanReadBuffer(size_t length, bool fromClipboard) {
    std::memset(mPresetValues, 0, sizeof(mPresetValues));
    const MarovexPresetScan scan = MarovexScanPresetText(
        std::string_view(mReadBuffer, length), fromClipboard ? MarovexPresetSource::Clipboard : MarovexPresetSource::File);
    static_assert(sizeof(scan.leadingWord) == sizeof(mPresetProduct), "the leading word fits the view's buffer");
    std::memcpy(mPresetProduct, scan.leadingWord, sizeof(mPresetProduct));
    mPresetProduct[sizeof(mPresetProduct) - 1] = '\0';
    std::memcpy(mPresetValues, scan.values.data(), sizeof(mPresetValues));
    mPresetVersion = scan.formatNumber;
    return scan.valid;
}

void Tandrel_View::applyPresetToParameters() {
    AAX_IACFEffectParameters* parameters = getParameters();
    if (parameters == nullptr) return;
    // One parameter at a time: each posts its own touch, set and release. A NaN is refused by the
    // parameter and changes nothing.
    for (size_t i = 0; i < kMarovexPresetValueCount; ++i) {
        parameters->SetParameterNormalizedValue(kMarovexPresetIdentifiers[i], static_cast<double>(mPresetValues[i]));
    }
}

void Tandrel_View::RunPresetDialog(bool save) {
    if (getParameters() == nullptr) return;
    if (mFileSelector != nullptr) return;  // one dialog at a time
    CNewFileSelector* selector =
        CNewFileSelector::create(this, save ? CNewFileSelector::kSelectSaveFile : CNewFileSelector::kSelectFile);
    if (selector == nullptr) return;
    const CFileExtension extension("Marovex", "mrv", "application/octet-stream", 0, nullptr);
    selector->addFileExtension(extension);
    selector->setDefaultExtension(extension);
    selector->setTitle(save ? "Choose A Preset File To Save" : "Choose A Preset File To Load");
    if (!save) selector->setAllowMultiFileSelection(false);
    // The replace question is about the file that will be written, ".mrv" added.
    if (save) selector->setSaveName(&Tandrel_View::PresetPathToWrite);
    mFileSelector = selector;
    if (!selector->run([this, save](CNewFileSelector* done) { FinishPresetDialog(done, save); })) {
        // No chooser could be opened: nothing is selected.
        mFileSelector = nullptr;
        selector->forget();
    }
}

void Tandrel_View::FinishPresetDialog(CNewFileSelector* selector, bool save) {
    if (selector->getNumSelectedFiles() > 0) {
        if (!setPresetPath(selector->getSelectedFile(0))) {
            PresetFailure(save ? "Cannot Save" : "Cannot Load", selector->getSelectedFile(0), "the path is too long");
        } else if (save) {
            savePresetToDisc();
        } else {
            loadPresetFromDisc();
        }
    }
    if (mFileSelector == selector) {
        mFileSelector = nullptr;
        selector->forget();
    }
}
