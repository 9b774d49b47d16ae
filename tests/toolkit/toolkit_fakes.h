// Stand-ins for the platform behind the toolkit's own seams: an in-memory clipboard and a file
// chooser the test answers. FakePlatform puts both in place for its lifetime.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vstgui/cclipboard.h"
#include "vstgui/cfileselector.h"

namespace toolkitfakes {

class MemoryClipboard : public VSTGUI::IPlatformClipboard {
public:
    bool available = true;  // false: like a session without a display
    bool hasText = false;
    std::string text;

    bool setText(const std::string& t) override {
        if (!available) return false;
        text = t;
        hasText = true;
        return true;
    }
    bool getText(std::string& out, size_t maxBytes) override {
        if (!available || !hasText) return false;
        out = text.substr(0, maxBytes);
        return true;
    }
    void put(const std::string& t) {
        text = t;
        hasText = true;
    }
};

// What the fake chooser does; the test changes it between steps.
struct ChooserScript {
    bool installed = true;              // false: no chooser program
    bool closed = false;                // the user has closed the dialog
    std::vector<std::string> answer;    // selected paths once closed (empty: cancelled)
    int starts = 0;                     // dialogs opened
    int destroyedOpen = 0;              // dialogs dropped while still open
    std::vector<VSTGUI::FileChooserRequest> requests;
};

class FakeChooser : public VSTGUI::IFileChooser {
public:
    explicit FakeChooser(ChooserScript& script) : mScript(script) {}
    ~FakeChooser() override {
        if (mOpen) ++mScript.destroyedOpen;
    }
    bool start(const VSTGUI::FileChooserRequest& request) override {
        if (!mScript.installed) return false;
        ++mScript.starts;
        mScript.requests.push_back(request);
        mOpen = true;
        return true;
    }
    State poll(std::vector<std::string>& selected) override {
        if (!mScript.closed) return State::Running;
        mOpen = false;
        selected = mScript.answer;
        return State::Done;
    }

private:
    ChooserScript& mScript;
    bool mOpen = false;
};

class FakePlatform {
public:
    FakePlatform() {
        VSTGUI::setClipboardOverride(&clipboard);
        VSTGUI::CNewFileSelector::setChooserFactory([this] { return std::make_unique<FakeChooser>(chooser); });
    }
    ~FakePlatform() {
        VSTGUI::setClipboardOverride(nullptr);
        VSTGUI::CNewFileSelector::setChooserFactory(nullptr);
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    // The user confirms the open dialog with `paths` (none: cancels it).
    void closeWith(std::vector<std::string> paths) {
        chooser.answer = std::move(paths);
        chooser.closed = true;
    }
    // Prepares the next dialog: open until closeWith.
    void reopen() { chooser.closed = false; }

    MemoryClipboard clipboard;
    ChooserScript chooser;
};

}  // namespace toolkitfakes
