// File selector and the desktop chooser it runs (zenity, a separate program on the PATH).
#include "vstgui/cfileselector.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

extern char** environ;

namespace VSTGUI {

CFileExtension::CFileExtension(const char* description, const char* extension, const char* mimeType,
                               int32_t macType, const char* uti)
    : mDescription(description ? description : ""),
      mExtension(extension ? extension : ""),
      mMimeType(mimeType ? mimeType : ""),
      mMacType(macType),
      mUTI(uti ? uti : "") {}

bool CFileExtension::operator==(const CFileExtension& other) const {
    return mDescription == other.mDescription && mExtension == other.mExtension && mMimeType == other.mMimeType &&
           mMacType == other.mMacType && mUTI == other.mUTI;
}

namespace {

// The desktop chooser: zenity's file selection, its standard output read through a pipe. The
// program runs on its own; poll() collects its answer without ever waiting for it.
class ZenityChooser : public IFileChooser {
public:
    ~ZenityChooser() override {
        if (mPid > 0) {
            // Closed while still open (the editor went away): end the dialog and reap it.
            kill(mPid, SIGTERM);
            waitpid(mPid, nullptr, 0);
        }
        if (mOut >= 0) close(mOut);
    }

    bool start(const FileChooserRequest& request) override {
        std::vector<std::string> args;
        if (request.mode == FileChooserRequest::Mode::Question) {
            mQuestion = true;
            args = {"zenity", "--question", "--no-markup", "--title=" + request.title, "--text=" + request.question};
            return spawn(args);
        }
        args = {"zenity", "--file-selection", "--title=" + request.title};
        // The default filter comes first: zenity preselects the first one.
        std::vector<const CFileExtension*> filters;
        if (request.defaultExtension >= 0 &&
            static_cast<size_t>(request.defaultExtension) < request.extensions.size()) {
            filters.push_back(&request.extensions[static_cast<size_t>(request.defaultExtension)]);
        }
        for (const CFileExtension& e : request.extensions) {
            if (filters.empty() || filters.front() != &e) filters.push_back(&e);
        }
        for (const CFileExtension* e : filters) {
            if (e->getExtension().empty()) continue;
            const std::string& name = e->getDescription().empty() ? e->getExtension() : e->getDescription();
            args.push_back("--file-filter=" + name + " | *." + e->getExtension());
        }
        if (request.mode == FileChooserRequest::Mode::Save) {
            args.push_back("--save");
            if (request.confirmOverwrite) args.push_back("--confirm-overwrite");
        } else if (request.mode == FileChooserRequest::Mode::Directory) {
            args.push_back("--directory");
        }
        if (request.allowMultiple && request.mode == FileChooserRequest::Mode::Open) {
            args.push_back("--multiple");
            args.push_back("--separator=\n");
        }
        return spawn(args);
    }

    bool spawn(std::vector<std::string>& args) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        // The desktop libraries' warnings are the chooser's own business, not our program's output.
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (error != 0) {  // no chooser installed
            close(fds[0]);
            return false;
        }
        fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
        mPid = pid;
        mOut = fds[0];
        return true;
    }

    State poll(std::vector<std::string>& selected) override {
        if (mPid <= 0) return State::Done;
        readAvailable();
        int status = 0;
        const pid_t reaped = waitpid(mPid, &status, WNOHANG);
        if (reaped == 0) return State::Running;
        if (reaped < 0 && errno == EINTR) return State::Running;
        mPid = 0;
        readAvailable();  // whatever it wrote before it ended
        // Exit 0 is a confirmed dialog; 1 a cancelled one. A child we could not reap (the process
        // ignores SIGCHLD) counts as confirmed when it wrote a whole answer.
        const bool confirmed = reaped > 0 ? (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                                          : (!mOutput.empty() && mOutput.back() == '\n');
        selected.clear();
        if (mQuestion) {
            if (reaped > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) selected.push_back("yes");
        } else if (confirmed) {
            size_t start = 0;
            while (start < mOutput.size()) {
                size_t end = mOutput.find('\n', start);
                if (end == std::string::npos) end = mOutput.size();
                if (end > start) selected.push_back(mOutput.substr(start, end - start));
                start = end + 1;
            }
        }
        return State::Done;
    }

private:
    void readAvailable() {
        if (mOut < 0) return;
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(mOut, buffer, sizeof buffer);
            if (n > 0) {
                // An answer is a few paths; anything beyond this is not a chooser's answer.
                if (mOutput.size() < 1 << 20) mOutput.append(buffer, static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0) {  // end of output
                close(mOut);
                mOut = -1;
            }
            return;
        }
    }

    pid_t mPid = 0;
    int mOut = -1;
    bool mQuestion = false;
    std::string mOutput;
};

CNewFileSelector::ChooserFactory& Factory() {
    static CNewFileSelector::ChooserFactory factory;
    return factory;
}

}  // namespace

std::unique_ptr<IFileChooser> CNewFileSelector::createDesktopChooser() { return std::make_unique<ZenityChooser>(); }

void CNewFileSelector::setChooserFactory(ChooserFactory factory) { Factory() = std::move(factory); }

CNewFileSelector* CNewFileSelector::create(CFrame* parent, Style style) {
    if (style != kSelectFile && style != kSelectSaveFile && style != kSelectDirectory) return nullptr;
    return new CNewFileSelector(parent, style);
}

CNewFileSelector::CNewFileSelector(CFrame* frame, Style style) : mFrame(frame), mStyle(style) {
    mRequest.mode = style == kSelectSaveFile   ? FileChooserRequest::Mode::Save
                    : style == kSelectDirectory ? FileChooserRequest::Mode::Directory
                                                : FileChooserRequest::Mode::Open;
}

CNewFileSelector::~CNewFileSelector() = default;

void CNewFileSelector::setTitle(const char* title) { mRequest.title = title ? title : ""; }

void CNewFileSelector::addFileExtension(const CFileExtension& extension) {
    for (const CFileExtension& e : mRequest.extensions) {
        if (e == extension) return;
    }
    mRequest.extensions.push_back(extension);
}

void CNewFileSelector::setDefaultExtension(const CFileExtension& extension) {
    addFileExtension(extension);
    for (size_t i = 0; i < mRequest.extensions.size(); ++i) {
        if (mRequest.extensions[i] == extension) mRequest.defaultExtension = static_cast<int32_t>(i);
    }
}

void CNewFileSelector::setAllowMultiFileSelection(bool allow) { mRequest.allowMultiple = allow; }

void CNewFileSelector::setSaveName(SaveNameFunc name) {
    mSaveName = std::move(name);
    mRequest.confirmOverwrite = !mSaveName;
}

const char* CNewFileSelector::getSelectedFile(uint32_t index) const {
    return index < mSelected.size() ? mSelected[index].c_str() : nullptr;
}

bool CNewFileSelector::startChooser() {
    if (mChooser) return false;
    mSelected.clear();
    mAsking = false;
    std::unique_ptr<IFileChooser> chooser = Factory() ? Factory()() : createDesktopChooser();
    if (!chooser || !chooser->start(mRequest)) return false;
    mChooser = std::move(chooser);
    return true;
}

bool CNewFileSelector::startQuestion(const std::string& written) {
    FileChooserRequest question;
    question.mode = FileChooserRequest::Mode::Question;
    question.title = mRequest.title;
    const size_t slash = written.find_last_of('/');
    const std::string name = slash == std::string::npos ? written : written.substr(slash + 1);
    question.question = "A file named \"" + name + "\" already exists. Do you want to replace it?\n\n" + written;
    std::unique_ptr<IFileChooser> chooser = Factory() ? Factory()() : createDesktopChooser();
    if (!chooser || !chooser->start(question)) return false;
    mChooser = std::move(chooser);
    mAsking = true;
    return true;
}

bool CNewFileSelector::advance(std::vector<std::string>& selected) {
    mChooser.reset();
    if (mAsking) {
        mAsking = false;
        if (!selected.empty()) {  // yes: replace it
            mSelected = {mPendingPath};
            return true;
        }
        // No: choose again (nothing is selected when the chooser cannot be opened again).
        return !startChooser();
    }
    if (mStyle == kSelectSaveFile && mSaveName && !selected.empty()) {
        const std::string written = mSaveName(selected.front());
        struct stat st;
        if (!written.empty() && lstat(written.c_str(), &st) == 0) {
            mPendingPath = selected.front();
            if (startQuestion(written)) return false;
            // A question that cannot be asked is not a yes.
            mSelected.clear();
            return true;
        }
    }
    mSelected = std::move(selected);
    if (!mRequest.allowMultiple && mSelected.size() > 1) mSelected.resize(1);
    return true;
}

bool CNewFileSelector::runModal() {
    if (!startChooser()) return false;
    for (;;) {
        std::vector<std::string> selected;
        while (mChooser->poll(selected) == IFileChooser::State::Running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (advance(selected)) break;
    }
    return !mSelected.empty();
}

bool CNewFileSelector::run(CallbackFunc callback) {
    if (!startChooser()) return false;
    mCallback = std::move(callback);
    return true;
}

void CNewFileSelector::poll() {
    if (!mChooser) return;
    std::vector<std::string> selected;
    if (mChooser->poll(selected) == IFileChooser::State::Running) return;
    if (!advance(selected)) return;
    // The callback may release the selector: keep it alive until the callback has returned.
    SharedPointer<CNewFileSelector> keep(this);
    CallbackFunc callback = std::move(mCallback);
    mCallback = nullptr;
    if (callback) callback(this);
}

}  // namespace VSTGUI
