// The module and the program without graphics: the module and the LV2 plug-in library depend on no
// graphics library, a render and the program's other non-drawing commands map none and stay small,
// and a bundle without its editor library loses the editor and nothing else.
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/RunProgram.h"
#include <sndfile.h>

#include "AAX_IACFEffectGUI.h"
#include "MarovexHost.h"

namespace fs = std::filesystem;

namespace {

// Every library of cairo, pango, X11 and the font stack under them.
const std::regex kGraphics("lib(cairo|pango|X11|Xext|Xrender|xcb|fontconfig|freetype|harfbuzz|glib|gobject|gio|"
                           "pixman|png16|fribidi|thai)[-.a-z0-9]*\\.so");

using Ran = runprogram::RunResult;  // out: standard output and standard error

// Runs `command` with standard error joined to standard output. Under the sanitizers the font and
// text libraries' caches are excused, as for every program that draws text.
Ran Shell(const std::string& command) {
    const char* lsan = std::getenv("LSAN_OPTIONS");
    const std::string environment = std::string("LSAN_OPTIONS='suppressions=") + MAROVEX_GUI_LEAKS_SUPPRESSIONS +
                                    (lsan != nullptr ? std::string(":") + lsan : std::string()) + "' ";
    return runprogram::RunShell("export " + environment + "; " + command + " 2>&1");
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::vector<std::string> GraphicsIn(const std::string& text) {
    std::vector<std::string> found;
    for (std::sregex_iterator i(text.begin(), text.end(), kGraphics), end; i != end; ++i) found.push_back(i->str());
    return found;
}

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        mRoot = fs::temp_directory_path() /
                ("marovex-headless-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(mRoot);
        fs::create_directories(mRoot);
    }
    void TearDown() override { fs::remove_all(mRoot); }

    // 0.1 s of a stereo sine at 48 kHz, 16-bit.
    fs::path ShortWav() {
        const fs::path path = mRoot / "short.wav";
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
        std::vector<float> frames(4800 * 2);
        for (size_t i = 0; i < frames.size(); ++i) frames[i] = 0.5f * float(std::sin(double(i / 2) * 0.0575));
        sf_writef_float(f, frames.data(), 4800);
        sf_close(f);
        return path;
    }

    // The program's command under the dynamic linker's trace: the libraries initialised by each
    // process it ran (the program and any child), one list per process.
    std::vector<std::vector<std::string>> Initialised(const std::string& args, Ran* run) {
        const fs::path traces = mRoot / ("ld-" + std::to_string(mTraceRuns++));
        fs::create_directories(traces);
        *run = Shell("cd " + Quoted(mRoot) + " && LD_DEBUG=files LD_DEBUG_OUTPUT=" + Quoted(traces / "ld") + " " +
                     MAROVEX_CLI_PROGRAM + " " + args);
        std::vector<std::vector<std::string>> processes;
        for (const fs::directory_entry& e : fs::directory_iterator(traces)) {
            std::ifstream in(e.path());
            std::vector<std::string> inits;
            for (std::string line; std::getline(in, line);) {
                const size_t at = line.find("calling init: ");
                if (at != std::string::npos) inits.push_back(line.substr(at + 14));
            }
            processes.push_back(inits);
        }
        return processes;
    }

    // A copy of the module's bundle (module and resources) without the editor library.
    fs::path BundleWithoutEditor() {
        const fs::path module = MAROVEX_MODULE_PATH;
        const fs::path contents = module.parent_path().parent_path();
        const fs::path copy = mRoot / "Marovex.aaxplugin" / "Contents";
        fs::create_directories(copy / "x86_64-linux");
        fs::copy_file(module, copy / "x86_64-linux" / module.filename());
        fs::copy(contents / "Resources", copy / "Resources", fs::copy_options::recursive);
        EXPECT_TRUE(fs::exists(module.parent_path() / "MarovexEditor.so"));
        return copy / "x86_64-linux" / module.filename();
    }

    fs::path mRoot;
    int mTraceRuns = 0;
};

TEST_F(Headless, NoGraphicsLibraryInTheModuleTheLv2PluginOrARender) {
    const fs::path module = MAROVEX_MODULE_PATH;
    // The editor library does carry them (so the pattern finds what it looks for); the module and the
    // LV2 plug-in library depend on none, not even through another library.
    const Ran editor = Shell("ldd " + Quoted(module.parent_path() / "MarovexEditor.so"));
    ASSERT_EQ(editor.status, 0) << editor.out;
    EXPECT_GE(GraphicsIn(editor.out).size(), 5u) << editor.out;
    for (const fs::path& binary : {module, fs::path(MAROVEX_LV2_BUNDLE) / "MarovexLv2.so"}) {
        const Ran deps = Shell("ldd " + Quoted(binary));
        ASSERT_EQ(deps.status, 0) << deps.out;
        EXPECT_EQ(GraphicsIn(deps.out), std::vector<std::string>{}) << binary << "\n" << deps.out;
    }

    // The program initialises at most 30 shared objects, none of them graphics, for a render, for
    // `info`, `state show` and `validate --skip-editor`; a picture loads them.
    const fs::path wav = ShortWav();
    const std::vector<std::string> commands = {
        "process " + Quoted(wav) + " out.wav --save-state s.state",
        "info",
        "state show s.state",
        "validate --skip-editor --strictness 1 --only load,state",
    };
    for (const std::string& command : commands) {
        Ran run;
        const auto processes = Initialised(command, &run);
        EXPECT_EQ(run.status, 0) << command << "\n" << run.out;
        ASSERT_FALSE(processes.empty()) << command;
        for (const std::vector<std::string>& inits : processes) {
            std::string all;
            for (const std::string& s : inits) all += s + "\n";
            EXPECT_LE(inits.size(), 30u) << command << "\n" << all;
            EXPECT_EQ(GraphicsIn(all), std::vector<std::string>{}) << command << "\n" << all;
        }
    }
    Ran plot;
    const auto plotting = Initialised("process " + Quoted(wav) + " plotted.wav --plot p.png", &plot);
    EXPECT_EQ(plot.status, 0) << plot.out;
    std::string all;
    for (const auto& inits : plotting) for (const std::string& s : inits) all += s + "\n";
    EXPECT_FALSE(GraphicsIn(all).empty()) << all;
    EXPECT_TRUE(fs::exists(mRoot / "p.png"));
}

TEST_F(Headless, WithoutTheEditorLibraryOnlyTheEditorIsMissing) {
    std::string error;
    // With the editor library, an open editor counts among the module's live objects: the library
    // counts its objects in the module's count.
    {
        std::shared_ptr<MarovexModule> whole = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
        ASSERT_NE(whole, nullptr) << error;
        auto instance = MarovexInstance::Create(whole, AAX_eStemFormat_Stereo, 48000.0f, 256, &error);
        ASSERT_NE(instance, nullptr) << error;
        const int32_t live = whole->LiveObjectCount();
        std::unique_ptr<MarovexGui> gui = instance->CreateGui(&error);
        ASSERT_NE(gui, nullptr) << error;
        EXPECT_EQ(whole->LiveObjectCount(), live + 1);
        gui.reset();
        EXPECT_EQ(whole->LiveObjectCount(), live);
    }

    const fs::path copy = BundleWithoutEditor();
    std::shared_ptr<MarovexModule> module = MarovexModule::Load(copy.string(), &error);
    ASSERT_NE(module, nullptr) << error;
    auto instance = MarovexInstance::Create(module, AAX_eStemFormat_Stereo, 48000.0f, 256, &error);
    ASSERT_NE(instance, nullptr) << error;
    ASSERT_TRUE(instance->SetParameter("FreqA", 0.3, &error)) << error;
    std::vector<uint8_t> before;
    ASSERT_TRUE(instance->SaveState(&before, &error)) << error;

    // Creating an editor fails with -20004, twice alike, and the module says which library and why.
    for (int i = 0; i < 2; ++i) {
        AAX_Result initResult = 0;
        EXPECT_EQ(instance->CreateGui(&error, &initResult), nullptr);
        EXPECT_EQ(initResult, AAX_ERROR_NULL_OBJECT);
    }
    const std::vector<std::string> traces = module->Traces();
    ASSERT_EQ(traces.size(), 2u);
    EXPECT_NE(traces[0].find((copy.parent_path() / "MarovexEditor.so").string() + ": cannot open shared object file"),
              std::string::npos)
        << traces[0];

    // Processing and state are untouched: the same output as the whole module's, the same state.
    std::vector<float> left(1024), right(1024), outLeft(1024), outRight(1024);
    for (size_t i = 0; i < left.size(); ++i) left[i] = right[i] = 0.7f * float(std::sin(0.05 * double(i)));
    const float* in[2] = {left.data(), right.data()};
    float* out[2] = {outLeft.data(), outRight.data()};
    ASSERT_TRUE(instance->Process(in, out, 1024, &error)) << error;
    std::vector<uint8_t> after;
    ASSERT_TRUE(instance->SaveState(&after, &error)) << error;
    EXPECT_EQ(after, before);
    {
        std::shared_ptr<MarovexModule> whole = MarovexModule::Load(MAROVEX_MODULE_PATH, &error);
        ASSERT_NE(whole, nullptr) << error;
        auto reference = MarovexInstance::Create(whole, AAX_eStemFormat_Stereo, 48000.0f, 256, &error);
        ASSERT_NE(reference, nullptr) << error;
        ASSERT_TRUE(reference->LoadState(before, &error)) << error;
        std::vector<float> refLeft(1024), refRight(1024);
        float* ref[2] = {refLeft.data(), refRight.data()};
        ASSERT_TRUE(reference->Process(in, ref, 1024, &error)) << error;
        EXPECT_EQ(refLeft, outLeft);
        EXPECT_EQ(refRight, outRight);
    }
    instance.reset();
    EXPECT_EQ(module->LiveObjectCount(), 0);

    // The program: `editor` exits 1 naming the library and why, and writes nothing; `validate` calls
    // the editor check not applicable, with the reason, and passes.
    const std::string plugin = std::string(MAROVEX_CLI_PROGRAM) + " --plugin " + Quoted(copy);
    const Ran editor = Shell(plugin + " editor --snapshot " + Quoted(mRoot / "panel.png"));
    EXPECT_EQ(editor.status, 1) << editor.out;
    EXPECT_NE(editor.out.find("MarovexEditor.so: cannot open shared object file"), std::string::npos) << editor.out;
    EXPECT_FALSE(fs::exists(mRoot / "panel.png"));
    const Ran validate = Shell(plugin + " validate --strictness 1 --only editor,concurrency");
    EXPECT_EQ(validate.status, 0) << validate.out;
    EXPECT_TRUE(std::regex_search(validate.out, std::regex("\n11 editor +n/a +the module's editor cannot be opened "
                                                           "here: [^\n]*MarovexEditor.so: cannot open shared object")))
        << validate.out;
    EXPECT_NE(validate.out.find("1 passed, 0 failed"), std::string::npos) << validate.out;
}

// Installed, the program finds its drawing library and the module its editor library, wherever the
// prefix moves; without the drawing library only drawing fails.
TEST_F(Headless, AnInstalledProgramDrawsTheEditor) {
    const fs::path prefix = mRoot / "prefix";
    const Ran install = Shell(std::string("'") + MAROVEX_CMAKE_COMMAND + "' --install '" + MAROVEX_BUILD_DIR +
                              "' --prefix " + Quoted(prefix));
    ASSERT_EQ(install.status, 0) << install.out;
    fs::rename(prefix, mRoot / "moved");
    const Ran snapshot = Shell("cd / && " + Quoted(mRoot / "moved" / "bin" / "marovex") + " editor --snapshot " +
                               Quoted(mRoot / "panel.png"));
    EXPECT_EQ(snapshot.status, 0) << snapshot.out;
    EXPECT_TRUE(fs::exists(mRoot / "panel.png"));

    // Without its drawing library the program still renders; drawing exits 1 naming the library.
    const fs::path drawing = mRoot / "moved" / "lib" / "marovex" / "libmarovex_graphics.so";
    ASSERT_TRUE(fs::remove(drawing));
    const fs::path program = mRoot / "moved" / "bin" / "marovex";
    const Ran render = Shell(Quoted(program) + " process -q " + Quoted(ShortWav()) + " " + Quoted(mRoot / "out.wav"));
    EXPECT_EQ(render.status, 0) << render.out;
    const Ran picture = Shell(Quoted(program) + " editor --snapshot " + Quoted(mRoot / "again.png"));
    EXPECT_EQ(picture.status, 1) << picture.out;
    EXPECT_NE(picture.out.find("libmarovex_graphics.so: cannot open shared object file"), std::string::npos)
        << picture.out;
    EXPECT_FALSE(fs::exists(mRoot / "again.png"));
}

}  // namespace
