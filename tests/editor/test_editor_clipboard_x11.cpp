// End to end under a virtual X server (Xvfb): the editor's COPY and PASTE against the X11 clipboard,
// with xclip as the other program. COPY in the editor, read with xclip; write with xclip, PASTE in
// the editor. Without a display PASTE fails.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "test_editor_fixture.h"
#include "toolkit/xvfb_server.h"

extern char** environ;

using namespace VSTGUI;

namespace {

struct Child {
    pid_t pid = -1;
    int in = -1;   // its standard input
    int out = -1;  // its standard output
};

Child Spawn(const std::vector<std::string>& args) {
    Child child;
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return child;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return child;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    if (error != 0) {
        close(in[1]);
        close(out[0]);
        return child;
    }
    child.pid = pid;
    child.in = in[1];
    child.out = out[0];
    return child;
}

void Stop(Child& child) {
    if (child.in >= 0) close(child.in);
    if (child.out >= 0) close(child.out);
    if (child.pid > 0) {
        kill(child.pid, SIGTERM);
        waitpid(child.pid, nullptr, 0);
    }
    child = Child();
}

// Runs a program to its end (killed after 10 s) with nothing on its input; its exit code (-1 when it
// did not end or start) and its output.
std::pair<int, std::string> RunProgram(const std::vector<std::string>& args) {
    Child child = Spawn(args);
    if (child.pid < 0) return {-1, ""};
    close(child.in);
    child.in = -1;
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        pollfd p{child.out, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t n = read(child.out, buffer, sizeof buffer);
            if (n <= 0) break;
            output.append(buffer, static_cast<size_t>(n));
        } else if (std::chrono::steady_clock::now() > deadline) {
            Stop(child);
            return {-1, output};
        }
    }
    close(child.out);
    int status = 0;
    waitpid(child.pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

class X11ClipboardTest : public editortest::EditorTest {
protected:
    // One virtual X server for the suite.
    static void SetUpTestSuite() { sServer = new toolkittest::XvfbServer; }
    static void TearDownTestSuite() {
        delete sServer;
        sServer = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(sServer->display().empty()) << "Xvfb is installed by scripts/deps.sh";
        setenv("DISPLAY", sServer->display().c_str(), 1);
        EditorTest::SetUp();
        setClipboardOverride(nullptr);  // the real clipboard, not the fixture's in-memory one
    }
    void TearDown() override {
        EditorTest::TearDown();
        Stop(xclipOwner);
    }
    static std::pair<int, std::string> ReadClipboard(const char* target = "UTF8_STRING") {
        return RunProgram({"xclip", "-selection", "clipboard", "-o", "-t", target});
    }

    Child xclipOwner;
    static toolkittest::XvfbServer* sServer;
};

toolkittest::XvfbServer* X11ClipboardTest::sServer = nullptr;

TEST_F(X11ClipboardTest, CopyServesOtherProgramsAndPasteReadsThem) {
    // COPY in the editor, read with xclip, as every target we offer, for as long as the editor lives.
    Click(2);
    ASSERT_STREQ(view->MessageText(), "Preset to Clipboard");
    const std::string composed = view->presetText();
    EXPECT_EQ(composed.substr(0, 15), "Marovex 010000\n");
    EXPECT_EQ(ReadClipboard(), std::make_pair(0, composed));
    EXPECT_EQ(ReadClipboard("STRING"), std::make_pair(0, composed));
    EXPECT_EQ(ReadClipboard("TEXT"), std::make_pair(0, composed));
    const auto targets = ReadClipboard("TARGETS");
    EXPECT_EQ(targets.first, 0);
    for (const char* t : {"TARGETS\n", "UTF8_STRING\n", "STRING\n", "TEXT\n"}) {
        EXPECT_NE(targets.second.find(t), std::string::npos) << targets.second;
    }

    // Another program copies (20 kB: a preset and a long tail); PASTE in the editor reads it (the
    // first 10007 bytes of it).
    std::string text = "Marovex 010000\n";
    for (const char* id : Tandrel_View::kKnobIDs) text += std::string(id) + " 0.2500000000\n";
    text += std::string(20000, 'z');
    xclipOwner = Spawn({"xclip", "-selection", "clipboard", "-i", "-quiet"});
    ASSERT_GT(xclipOwner.pid, 0) << "xclip is installed by scripts/deps.sh";
    ASSERT_EQ(write(xclipOwner.in, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(xclipOwner.in);
    xclipOwner.in = -1;
    bool taken = false;
    for (int i = 0; i < 100 && !taken; ++i) {  // until xclip has taken the selection
        taken = ReadClipboard().second == text;
        if (!taken) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(taken);
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Preset From Clipboard");
    for (const char* id : Tandrel_View::kKnobIDs) EXPECT_EQ(Value(id), 0.25) << id;

    // COPY takes the selection back from xclip.
    Click(2);
    EXPECT_EQ(ReadClipboard(), std::make_pair(0, std::string(view->presetText())));
    EXPECT_NE(std::string(view->presetText()), composed);

    // Closing the editor gives the selection up: nobody serves the text any more.
    gui->SetViewContainer(nullptr);
    EXPECT_NE(ReadClipboard().first, 0);
}

TEST_F(X11ClipboardTest, WithoutADisplayPasteFails) {
    unsetenv("DISPLAY");
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Failed From Clipboard");
    Click(2);
    EXPECT_STREQ(view->MessageText(), "Preset to Clipboard");
    Click(3);
    EXPECT_STREQ(view->MessageText(), "Failed From Clipboard");
}

}  // namespace
