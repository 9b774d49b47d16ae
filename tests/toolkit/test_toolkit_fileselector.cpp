// The file selector with the desktop chooser: a stand-in "zenity" script on the PATH records the
// arguments it is given and answers as the real program does (a path on its output and exit 0, or
// exit 1 when cancelled).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "tests/TestFiles.h"
#include "vstgui/cfileselector.h"

using namespace VSTGUI;

namespace {

class DesktopChooserTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.empty());
        const char* path = std::getenv("PATH");
        savedPath = path != nullptr ? path : "";
        setenv("PATH", dir.c_str(), 1);  // only the stand-in (or nothing) is found
    }
    void TearDown() override { setenv("PATH", savedPath.c_str(), 1); }
    void Chooser(const std::string& body) {
        const std::string file = dir + "/zenity";
        std::ofstream(file) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << dir << "/args'\n"
                            << body << "\n";
        ASSERT_EQ(chmod(file.c_str(), 0755), 0);
    }
    std::string Read(const std::string& name) { return testfiles::ReadAll(dir + "/" + name); }
    static CNewFileSelector* Selector(CNewFileSelector::Style style, const char* title) {
        CNewFileSelector* s = CNewFileSelector::create(nullptr, style);
        const CFileExtension mrv("Marovex", "mrv", "application/octet-stream", 0, nullptr);
        s->addFileExtension(mrv);
        s->setDefaultExtension(mrv);
        s->setTitle(title);
        return s;
    }
    // Polls until the callback has run; false if it did not within a generous bound.
    static bool WaitFor(CNewFileSelector* s, const bool& called) {
        for (int i = 0; i < 1000 && !called; ++i) {
            s->poll();
            if (!called) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return called;
    }

    testfiles::TempFolder folder;
    const std::string dir = folder.Dir().string();
    std::string savedPath;
};

TEST_F(DesktopChooserTest, SaveAndOpenDialogsAskTheChooserAndReadItsAnswer) {
    Chooser("printf '/home/u/my preset\\n'\nexit 0");
    CNewFileSelector* save = Selector(CNewFileSelector::kSelectSaveFile, "Choose A Preset File To Save");
    ASSERT_TRUE(save->runModal());
    ASSERT_EQ(save->getNumSelectedFiles(), 1u);
    EXPECT_STREQ(save->getSelectedFile(0), "/home/u/my preset");
    EXPECT_EQ(save->getSelectedFile(1), nullptr);
    EXPECT_EQ(Read("args"),
              "--file-selection\n--title=Choose A Preset File To Save\n--file-filter=Marovex | *.mrv\n--save\n"
              "--confirm-overwrite\n");
    save->forget();

    // Cancelled: exit 1, nothing selected.
    Chooser("exit 1");
    CNewFileSelector* open = Selector(CNewFileSelector::kSelectFile, "Choose A Preset File To Load");
    open->setAllowMultiFileSelection(false);
    EXPECT_FALSE(open->runModal());
    EXPECT_EQ(open->getNumSelectedFiles(), 0u);
    EXPECT_EQ(Read("args"), "--file-selection\n--title=Choose A Preset File To Load\n--file-filter=Marovex | *.mrv\n");
    open->forget();

    // No chooser installed: nothing opens, nothing is selected, no callback.
    ASSERT_EQ(unlink((dir + "/zenity").c_str()), 0);
    CNewFileSelector* none = Selector(CNewFileSelector::kSelectFile, "t");
    bool called = false;
    EXPECT_FALSE(none->run([&](CNewFileSelector*) { called = true; }));
    EXPECT_FALSE(none->runModal());
    none->poll();
    EXPECT_FALSE(called);
    EXPECT_EQ(none->getNumSelectedFiles(), 0u);
    none->forget();
}

TEST_F(DesktopChooserTest, RunReturnsAtOnceAndPollFinishesTheDialog) {
    Chooser("/bin/sleep 0.3\nprintf '/x/y.mrv\\n'");
    CNewFileSelector* s = Selector(CNewFileSelector::kSelectFile, "t");
    bool called = false;
    ASSERT_TRUE(s->run([&](CNewFileSelector* done) {
        called = true;
        EXPECT_EQ(done, s);
        done->forget();  // the owner may let go inside its callback
    }));
    EXPECT_TRUE(s->isRunning());
    s->poll();
    EXPECT_FALSE(called) << "the chooser is still open";
    EXPECT_FALSE(s->run([](CNewFileSelector*) {})) << "one dialog per selector at a time";
    s->remember();  // keep it to look at after the callback let go
    ASSERT_TRUE(WaitFor(s, called));
    EXPECT_FALSE(s->isRunning());
    ASSERT_EQ(s->getNumSelectedFiles(), 1u);
    EXPECT_STREQ(s->getSelectedFile(0), "/x/y.mrv");
    s->forget();
}

TEST_F(DesktopChooserTest, ReleasingAnOpenSelectorEndsTheChooser) {
    Chooser("echo $$ > '" + dir + "/pid'\nexec /bin/sleep 30");
    CNewFileSelector* s = Selector(CNewFileSelector::kSelectFile, "t");
    ASSERT_TRUE(s->run([](CNewFileSelector*) { ADD_FAILURE() << "no answer from a dialog that was dropped"; }));
    std::string pid;
    for (int i = 0; i < 1000 && pid.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pid = Read("pid");
    }
    ASSERT_FALSE(pid.empty());
    ASSERT_EQ(kill(std::stoi(pid), 0), 0) << "the chooser runs";
    s->forget();
    errno = 0;
    EXPECT_EQ(kill(std::stoi(pid), 0), -1) << "ended and reaped";
    EXPECT_EQ(errno, ESRCH);
}

}  // namespace
