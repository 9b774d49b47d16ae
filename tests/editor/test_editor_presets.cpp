// The preset buttons of the editor, offscreen, with an in-memory clipboard and a file chooser the
// test answers: the text COPY writes, what PASTE accepts, the dialogs of LOAD and SAVE, the ".mrv"
// rule, and the buffer limits (paths, long files, long words, NaN).
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "MarovexPresetText.h"
#include "tests/TestFiles.h"
#include "test_editor_fixture.h"

using namespace VSTGUI;
using editortest::EditorTest;
using fakehost::Automation;

namespace {

const std::array<double, 8> kDefaults = {0.5, 0.5, 1.0, 0.5, 1.0, 1.0, 0.5, 0.5};
// The text of the defaults, composed by the preset module (whose own tests hold its bytes).
std::string DefaultPreset() { return MarovexComposePresetText(kDefaults); }

// A preset text with the eight values given as written.
std::string Preset(const std::vector<std::string>& values, const std::string& head = "Marovex 010000") {
    std::string text = head + "\n";
    for (size_t i = 0; i < values.size(); ++i) {
        text += std::string(Tandrel_View::kKnobIDs[i]) + " " + values[i] + "\n";
    }
    return text;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

class PresetTest : public EditorTest {
protected:

    void SetAll(double value) {
        for (const char* id : Tandrel_View::kKnobIDs) model->SetParameterNormalizedValue(id, value);
        modelHost.automation.events.clear();
    }
    std::vector<double> Values() {
        std::vector<double> v;
        for (const char* id : Tandrel_View::kKnobIDs) v.push_back(Value(id));
        return v;
    }
    // The user picks `path` in the dialog the last click opened; the next timer call finishes it.
    void Choose(const std::string& path) {
        platform.closeWith({path});
        gui->TimerWakeup();
        platform.reopen();
    }
    void MakeDir(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0700), 0) << path; }

    testfiles::TempFolder folder;
    const std::string dir = folder.Dir().string();
};

TEST_F(PresetTest, CopyComposesTheTextAndPasteRestoresIt) {
    Click(2);
    EXPECT_EQ(platform.clipboard.text, DefaultPreset());
    EXPECT_EQ(view->presetText(), DefaultPreset());
    EXPECT_STREQ(view->MessageText(), "Preset to Clipboard");
    EXPECT_EQ(view->MessageLabel()->getText(), "Preset to Clipboard");
    EXPECT_TRUE(modelHost.automation.events.empty()) << "copying edits nothing";

    // A single-precision value is written widened to double.
    model->SetParameterNormalizedValue("Width", 0.3);
    Click(2);
    EXPECT_NE(platform.clipboard.text.find("\nWidth 0.3000000119\n"), std::string::npos) << platform.clipboard.text;

    // Pasting the default text restores every value, one parameter at a time (touch, set, release
    // each; nothing brackets the whole preset).
    platform.clipboard.put(DefaultPreset());
    SetAll(0.125);
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Preset From Clipboard");
    EXPECT_EQ(Values(), std::vector<double>(kDefaults.begin(), kDefaults.end()));
    const auto edits = Edits();
    ASSERT_EQ(edits.size(), 24u);
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(edits[3 * i].kind, Automation::Kind::Touch);
        EXPECT_EQ(edits[3 * i + 1],
                  (Automation::Event{Automation::Kind::SetRequest, Tandrel_View::kKnobIDs[i], kDefaults[i]}));
        EXPECT_EQ(edits[3 * i + 2].kind, Automation::Kind::Release);
    }
}

TEST_F(PresetTest, PasteTakesValuesByPositionAndRefusesWhatIsNotAPreset) {
    struct Case {
        const char* what;
        std::string text;
        bool applies;
    };
    const std::vector<std::string> quarter(8, "0.25");
    std::string misspelt = "Marovex 010000\nOutGain 0.25\nIngain 0.25\nX 0.25\nY 0.25\nZ 0.25\nW 0.25\nV 0.25\nU 0.25\n";
    // The scan's rules are the preset text's own tests; here, that PASTE applies what the clipboard
    // scan accepts and nothing else.
    const Case cases[] = {
        {"misspelt and reordered identifiers: values by position", misspelt, true},
        {"format number below 10000", Preset(quarter, "Marovex 9000"), false},
        {"product word after the nineteenth character (a file loads)", std::string(20, ' ') + Preset(quarter), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetAll(0.75);
        platform.clipboard.put(c.text);
        Click(3);
        EXPECT_STREQ(view->MessageText(), c.applies ? "Preset From Clipboard" : "Failed From Clipboard");
        EXPECT_EQ(Values(), std::vector<double>(8, c.applies ? 0.25 : 0.75));
        if (!c.applies) {
            EXPECT_TRUE(modelHost.automation.events.empty());
        }
    }

    // No text on the clipboard at all (as without a display): PASTE fails, COPY still reports.
    platform.clipboard.available = false;
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Failed From Clipboard");
    Click(2);
    EXPECT_STREQ(view->MessageText(), "Preset to Clipboard");
    platform.clipboard.available = true;

    // Values are handed over as written: the parameters clamp 1.5 and -2 and refuse NaN.
    SetAll(0.75);
    platform.clipboard.put(Preset({"1.5", "nan", "-2", "0.25", "0.25", "0.25", "0.25", "0.25"}));
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Preset From Clipboard");
    EXPECT_EQ(Values(), (std::vector<double>{1.0, 0.75, 0.0, 0.25, 0.25, 0.25, 0.25, 0.25}));
    for (const auto& e : Edits()) EXPECT_NE(e.id, "FreqW") << "a NaN reaches no parameter";
}

TEST_F(PresetTest, SaveAndLoadGoThroughTheDialogOnThePressOnly) {
    // SAVE: the press opens the save dialog; the release opens nothing; the label stays.
    Click(1);
    ASSERT_EQ(platform.chooser.starts, 1);
    const FileChooserRequest& save = platform.chooser.requests.back();
    EXPECT_EQ(save.mode, FileChooserRequest::Mode::Save);
    EXPECT_EQ(save.title, "Choose A Preset File To Save");
    ASSERT_EQ(save.extensions.size(), 1u);
    EXPECT_EQ(save.extensions[0], CFileExtension("Marovex", "mrv", "application/octet-stream", 0, nullptr));
    EXPECT_EQ(save.defaultExtension, 0);
    // The editor keeps running while the dialog is open; a second press opens no other.
    gui->TimerWakeup();
    Click(1);
    Click(0);
    EXPECT_EQ(platform.chooser.starts, 1);
    EXPECT_NE(view->presetDialog(), nullptr);
    model->SetParameterNormalizedValue("Dyn", 0.25);
    platform.clipboard.put("something else");
    Choose(dir + "/a");
    EXPECT_EQ(view->presetDialog(), nullptr);
    const std::string saved = testfiles::ReadAll(dir + "/a.mrv");
    EXPECT_NE(saved.find("\nDyn 0.2500000000\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.size(), std::strlen(view->presetText())) << "no NUL, nothing after the last line";
    EXPECT_FALSE(Exists(dir + "/a"));
    EXPECT_STREQ(view->MessageText(), "Saved a.mrv");
    // Saving replaced the clipboard: PASTE right after succeeds.
    EXPECT_EQ(platform.clipboard.text, saved);
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Preset From Clipboard");

    // ".mrv" anywhere in the path: no extension added; an existing file is replaced once the user
    // says yes to the question about it.
    MakeDir(dir + "/set.mrv.d");
    Click(1);
    Choose(dir + "/set.mrv.d/b");
    EXPECT_TRUE(Exists(dir + "/set.mrv.d/b"));
    EXPECT_FALSE(Exists(dir + "/set.mrv.d/b.mrv"));
    Click(1);
    Choose(dir + "/a.mrv");
    ASSERT_EQ(platform.chooser.requests.back().mode, FileChooserRequest::Mode::Question);
    Choose("yes");
    EXPECT_EQ(testfiles::ReadAll(dir + "/a.mrv"), saved);
    EXPECT_FALSE(Exists(dir + "/a.mrv.mrv"));

    // LOAD: the open dialog, one file; a file whose first word is not the product word loads.
    {
        std::ofstream(dir + "/other.txt") << Preset(std::vector<std::string>(8, "0.125"), "Tandrel 010000");
    }
    modelHost.automation.events.clear();
    Click(0);
    ASSERT_EQ(platform.chooser.starts, 5);
    const FileChooserRequest& load = platform.chooser.requests.back();
    EXPECT_EQ(load.mode, FileChooserRequest::Mode::Open);
    EXPECT_EQ(load.title, "Choose A Preset File To Load");
    EXPECT_FALSE(load.allowMultiple);
    EXPECT_EQ(load.extensions.size(), 1u);
    EXPECT_TRUE(modelHost.automation.events.empty()) << "nothing loads before the dialog closes";
    Choose(dir + "/other.txt");
    EXPECT_EQ(Values(), std::vector<double>(8, 0.125));
    EXPECT_STREQ(view->presetPath(), (dir + "/other.txt").c_str()) << "no extension added for loading";
    EXPECT_STREQ(view->MessageText(), "Loaded other.txt");

    // Cancelled or missing dialogs, unreadable or invalid files: nothing changes, no file appears.
    SetAll(0.75);
    Click(0);
    platform.closeWith({});
    gui->TimerWakeup();
    platform.reopen();
    EXPECT_EQ(view->presetDialog(), nullptr);
    // Each failure says what failed in the label.
    Click(0);
    Choose(dir + "/missing.mrv");
    EXPECT_STREQ(view->MessageText(), "Cannot Load missing.mrv");
    {
        std::ofstream(dir + "/seven.mrv") << Preset(std::vector<std::string>(7, "0.125"));
    }
    Click(0);
    Choose(dir + "/seven.mrv");
    EXPECT_STREQ(view->MessageText(), "Not a Preset: seven.mrv");
    Click(0);
    Choose(dir);  // a folder
    EXPECT_STREQ(view->MessageText(), ("Cannot Load " + folder.Dir().filename().string()).c_str());
    platform.clipboard.put("the user's own text");
    Click(1);
    Choose(dir + "/no-such-folder/x");
    EXPECT_STREQ(view->MessageText(), "Cannot Save x.mrv");
    EXPECT_EQ(platform.clipboard.text, "the user's own text") << "a failed save leaves the clipboard alone";
    platform.chooser.installed = false;
    Click(1);
    EXPECT_EQ(view->presetDialog(), nullptr);
    EXPECT_EQ(Values(), std::vector<double>(8, 0.75));
    EXPECT_TRUE(modelHost.automation.events.empty());
    EXPECT_FALSE(Exists(dir + "/no-such-folder"));
}

TEST_F(PresetTest, TheReplaceQuestionIsAboutTheFileWritten) {
    // A preset is there; the user types its name without ".mrv". The chooser asks nothing about the
    // name as typed; the editor's selector asks about saved1.mrv, the file it would replace.
    {
        std::ofstream(dir + "/saved1.mrv") << DefaultPreset();
    }
    ASSERT_EQ(chmod((dir + "/saved1.mrv").c_str(), 0640), 0);
    SetAll(0.25);
    Click(1);
    EXPECT_FALSE(platform.chooser.requests.back().confirmOverwrite);
    Choose(dir + "/saved1");
    ASSERT_EQ(platform.chooser.starts, 2);
    const FileChooserRequest& question = platform.chooser.requests.back();
    EXPECT_EQ(question.mode, FileChooserRequest::Mode::Question);
    EXPECT_NE(question.question.find("\"saved1.mrv\" already exists"), std::string::npos) << question.question;
    EXPECT_NE(question.question.find(dir + "/saved1.mrv"), std::string::npos) << question.question;
    // No: nothing is written, and the chooser opens again; cancelling it ends the dialog.
    platform.closeWith({});
    gui->TimerWakeup();
    platform.reopen();
    ASSERT_EQ(platform.chooser.starts, 3);
    EXPECT_EQ(platform.chooser.requests.back().mode, FileChooserRequest::Mode::Save);
    EXPECT_EQ(testfiles::ReadAll(dir + "/saved1.mrv"), DefaultPreset());
    platform.closeWith({});
    gui->TimerWakeup();
    platform.reopen();
    EXPECT_EQ(view->presetDialog(), nullptr);
    EXPECT_EQ(testfiles::ReadAll(dir + "/saved1.mrv"), DefaultPreset());
    EXPECT_STREQ(view->MessageText(), "---");
    // A new name is not asked about.
    Click(1);
    Choose(dir + "/fresh");
    EXPECT_EQ(platform.chooser.requests.back().mode, FileChooserRequest::Mode::Save);
    EXPECT_TRUE(Exists(dir + "/fresh.mrv"));
    // Yes: the file is replaced whole and keeps its permissions; the label says so.
    Click(1);
    Choose(dir + "/saved1");
    Choose("yes");
    EXPECT_EQ(testfiles::ReadAll(dir + "/saved1.mrv"), testfiles::ReadAll(dir + "/fresh.mrv"));
    struct stat st;
    ASSERT_EQ(stat((dir + "/saved1.mrv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_STREQ(view->MessageText(), "Saved saved1.mrv");
    EXPECT_FALSE(Exists(dir + "/saved1")) << "the name as typed is not written";
    // A link to a preset is followed: the file behind it is replaced and the link stays.
    ASSERT_EQ(symlink((dir + "/fresh.mrv").c_str(), (dir + "/link.mrv").c_str()), 0);
    SetAll(0.375);
    Click(1);
    Choose(dir + "/link.mrv");
    Choose("yes");
    struct stat link;
    ASSERT_EQ(lstat((dir + "/link.mrv").c_str(), &link), 0);
    EXPECT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_NE(testfiles::ReadAll(dir + "/fresh.mrv").find("Dyn 0.3750000000"), std::string::npos);
}

TEST_F(PresetTest, TheLabelTellsWhatLoadAndSaveDid) {
    // COPY, then LOAD: the label no longer says "Preset to Clipboard" but what was loaded. Then SAVE shows the file saved, a failed LOAD what failed.
    {
        std::ofstream(dir + "/warm.mrv") << Preset(std::vector<std::string>(8, "0.625"));
        std::ofstream(dir + "/notes.txt") << "shopping list\n";
    }
    Click(2);
    EXPECT_STREQ(view->MessageText(), "Preset to Clipboard");
    Click(0);
    Choose(dir + "/warm.mrv");
    EXPECT_STREQ(view->MessageText(), "Loaded warm.mrv");
    EXPECT_EQ(view->MessageLabel()->getText(), "Loaded warm.mrv");
    EXPECT_EQ(Values(), std::vector<double>(8, 0.625));
    Click(0);
    Choose(dir + "/notes.txt");
    EXPECT_STREQ(view->MessageText(), "Not a Preset: notes.txt");
    EXPECT_EQ(Values(), std::vector<double>(8, 0.625)) << "a failed load changes nothing";
    Click(1);
    Choose(dir + "/cool");
    EXPECT_STREQ(view->MessageText(), "Saved cool.mrv");
}

TEST_F(PresetTest, LimitsAreKeptWithoutTouchingOtherFiles) {
    // Paths are opened under at most 255 characters, ".mrv" included, and never cut: a cut path
    // would name some other file.
    std::string folder = dir;
    while (folder.size() < 200) {
        folder += "/" + std::string(40, 'd');
        MakeDir(folder);
    }
    const std::string longest = folder + "/" + std::string(255 - 4 - folder.size() - 1, 'p');  // 251 + ".mrv"
    ASSERT_EQ(longest.size() + 4, 255u);
    Click(1);
    Choose(longest);
    EXPECT_TRUE(Exists(longest + ".mrv"));
    const std::string tooLong = longest + "q";
    Click(1);
    Choose(tooLong);
    EXPECT_FALSE(Exists(tooLong + ".mrv"));
    EXPECT_FALSE(Exists(tooLong));
    EXPECT_FALSE(Exists(tooLong.substr(0, 255)));
    EXPECT_STREQ(view->presetPath(), (tooLong + ".mrv").c_str());
    // The same for loading: a file under a path of 256 characters is not read.
    const std::string tooLongToLoad = tooLong + "xxxx";
    ASSERT_EQ(tooLongToLoad.size(), 256u);
    {
        std::ofstream(tooLongToLoad) << DefaultPreset();
    }
    ASSERT_TRUE(Exists(tooLongToLoad));
    SetAll(0.75);
    Click(0);
    Choose(tooLongToLoad);
    EXPECT_EQ(Values(), std::vector<double>(8, 0.75));
    // A path that does not fit the path buffer is not taken at all.
    EXPECT_FALSE(view->setPresetPath(std::string(1000, 'x').c_str()));
    EXPECT_TRUE(view->setPresetPath(std::string(999, 'x').c_str()));

    // A 20 kB file: only its first 10007 bytes are read. A preset at its start loads; a file whose
    // preset begins after the limit does not (and nothing is read past the buffer).
    const std::string values(Preset(std::vector<std::string>(8, "0.375")));
    {
        std::ofstream(dir + "/big.mrv") << values << std::string(20000 - values.size(), 'z');
        std::ofstream(dir + "/late.mrv") << std::string(10000, ' ') << values;
    }
    Click(0);
    Choose(dir + "/late.mrv");
    EXPECT_EQ(Values(), std::vector<double>(8, 0.75));
    Click(0);
    Choose(dir + "/big.mrv");
    EXPECT_EQ(Values(), std::vector<double>(8, 0.375));
    // The same for 20 kB of clipboard text, and for a giant leading word.
    SetAll(0.75);
    platform.clipboard.put(values + std::string(20000, 'z'));
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Preset From Clipboard");
    EXPECT_EQ(Values(), std::vector<double>(8, 0.375));
    platform.clipboard.put("Marovex" + std::string(20000, 'w') + " 010000\n" + values);
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Failed From Clipboard");
}

TEST_F(PresetTest, AnOpenDialogClosesWithTheEditorAndNoModelMeansNoPresets) {
    Click(0);
    ASSERT_NE(view->presetDialog(), nullptr);
    gui->SetViewContainer(nullptr);  // the host closes the editor with the dialog still open
    EXPECT_EQ(platform.chooser.destroyedOpen, 1);

    // A view without a data model: the buttons do nothing and show nothing.
    Tandrel_View::LoadViewResources();
    SharedPointer<Tandrel_View> bare(new Tandrel_View(nullptr, nullptr, nullptr, nullptr));
    bare->forget();  // the shared pointer holds the only reference
    platform.clipboard.put(DefaultPreset());
    for (int i = 0; i < 4; ++i) {
        const CRect r = bare->Button(i)->getViewSize();
        CPoint p(r.left + 5, r.top + 5);
        bare->onMouseDown(p, CButtonState(kLButton));
        bare->onMouseUp(p, CButtonState(kLButton));
    }
    EXPECT_STREQ(bare->MessageText(), "---");
    EXPECT_EQ(platform.chooser.starts, 1);
    EXPECT_EQ(platform.clipboard.text, DefaultPreset());
    EXPECT_FALSE(bare->scanPresetFromClipboard());
}

}  // namespace
