// The X11 CLIPBOARD selection. A hidden window on a display connection of the clipboard's own is the
// selection owner while the clipboard holds text; a thread of its own answers other programs'
// requests and collects the answers to ours, so the user-interface thread only hands over work and
// waits (with a timeout) for the result. Only that thread makes Xlib calls on the connection after
// it has started.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "vstgui/cclipboard.h"
#include "vstgui/owned.h"

namespace VSTGUI {

namespace {

IPlatformClipboard* gOverride = nullptr;

// Xlib has one error handler for the whole process. Errors on a clipboard's connection (a requestor
// window that vanished before we answered it) are expected and ignored; all others go to the
// handler that was there before. The handler is ours only while a clipboard is open: the code may sit
// in a plug-in module that is unloaded later, and the process's handler must not point into it then.
std::mutex gDisplaysMutex;
std::vector<Display*> gDisplays;
XErrorHandler gPreviousHandler = nullptr;

int IgnoreClipboardErrors(Display* display, XErrorEvent* error) {
    XErrorHandler previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(gDisplaysMutex);
        if (std::find(gDisplays.begin(), gDisplays.end(), display) != gDisplays.end()) return 0;
        previous = gPreviousHandler;
    }
    return previous != nullptr ? previous(display, error) : 0;
}

class X11Clipboard final : public IPlatformClipboard {
public:
    explicit X11Clipboard(int timeoutMs) : mTimeout(std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 1)) {}

    bool open() {
        mDisplayOwner.reset(XOpenDisplay(nullptr));
        mDisplay = mDisplayOwner.get();
        if (mDisplay == nullptr) return false;
        // A broken connection ends the clipboard's service, not the process.
        XSetIOErrorExitHandler(mDisplay, &X11Clipboard::ConnectionBroke, this);
        {
            std::lock_guard<std::mutex> lock(gDisplaysMutex);
            if (gDisplays.empty()) gPreviousHandler = XSetErrorHandler(IgnoreClipboardErrors);
            gDisplays.push_back(mDisplay);
        }
        mWindowOwner = owned::XWindow(mDisplay, XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 0, 0, 1, 1,
                                                                   0, 0, 0));
        mWindow = mWindowOwner.get();
        XSelectInput(mDisplay, mWindow, PropertyChangeMask);
        mClipboard = XInternAtom(mDisplay, "CLIPBOARD", False);
        mUtf8 = XInternAtom(mDisplay, "UTF8_STRING", False);
        mTextAtom = XInternAtom(mDisplay, "TEXT", False);
        mTargets = XInternAtom(mDisplay, "TARGETS", False);
        mIncr = XInternAtom(mDisplay, "INCR", False);
        mProperty = XInternAtom(mDisplay, "MAROVEX_CLIPBOARD", False);
        // The largest property one request can carry, less the request's own header.
        mMaxServed = static_cast<size_t>(XMaxRequestSize(mDisplay)) * 4 - 64;
        XFlush(mDisplay);
        if (pipe2(mWake, O_CLOEXEC | O_NONBLOCK) != 0) return false;
        mThread = std::thread([this] { serve(); });
        return true;
    }

    ~X11Clipboard() override {
        if (mThread.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mMutex);
                mStop = true;
            }
            wake();
            mThread.join();
        }
        if (mDisplay != nullptr) {
            if (mBroken) mWindowOwner.release();  // nothing reaches the server any more
            mWindowOwner.reset();                 // gives up the selection
            mDisplayOwner.reset();
            std::lock_guard<std::mutex> lock(gDisplaysMutex);
            gDisplays.erase(std::remove(gDisplays.begin(), gDisplays.end(), mDisplay), gDisplays.end());
            if (gDisplays.empty()) {
                // Hand the process's handler back, unless someone has replaced ours meanwhile.
                const XErrorHandler current = XSetErrorHandler(gPreviousHandler);
                if (current != IgnoreClipboardErrors) XSetErrorHandler(current);
                gPreviousHandler = nullptr;
            }
        }
        for (int fd : mWake) {
            if (fd >= 0) close(fd);
        }
    }

    bool setText(const std::string& text) override {
        std::unique_lock<std::mutex> lock(mMutex);
        mText = text;
        const uint64_t serial = ++mOwnWanted;
        wake();
        mCond.wait_for(lock, mTimeout, [&] { return mOwnDone >= serial; });
        return mOwnDone >= serial && mOwned;
    }

    bool getText(std::string& text, size_t maxBytes) override {
        std::unique_lock<std::mutex> lock(mMutex);
        const uint64_t serial = ++mRequestWanted;
        mRequestMax = maxBytes;
        wake();
        if (!mCond.wait_for(lock, mTimeout, [&] { return mRequestDone >= serial; })) return false;
        if (mRequestDone != serial || !mRequestOk) return false;
        text = std::move(mRequestText);
        return true;
    }

private:
    void wake() {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = write(mWake[1], &c, 1);  // a full pipe is awake already
    }

    // The service thread.
    void serve() {
        const int xfd = ConnectionNumber(mDisplay);
        for (;;) {
            uint64_t ownWanted = 0, requestWanted = 0;
            {
                std::lock_guard<std::mutex> lock(mMutex);
                if (mStop) return;
                ownWanted = mOwnWanted;
                requestWanted = mRequestWanted;
            }
            if (mBroken) {
                // The connection is gone: every wish fails at once, and only the wake-up pipe is watched.
                failWishes(ownWanted, requestWanted);
            } else {
                if (ownWanted > mOwnHandled) takeOwnership(ownWanted);
                if (requestWanted > mRequestSent) startRequest(requestWanted);
                // XPending sends what is buffered and reads what has arrived; when it finds nothing,
                // every later event is still on the socket, so poll sees it. (XFlush here would read
                // events into Xlib's queue, where poll cannot see them, and the thread would sleep on
                // them.)
                while (!mBroken && XPending(mDisplay) > 0) {
                    XEvent event;
                    XNextEvent(mDisplay, &event);
                    handle(event);
                }
                if (mBroken) continue;
            }
            pollfd fds[2] = {{mBroken ? -1 : xfd, POLLIN, 0}, {mWake[0], POLLIN, 0}};
            poll(fds, 2, -1);
            char drain[64];
            while (read(mWake[0], drain, sizeof drain) > 0) {
            }
        }
    }

    static void ConnectionBroke(Display*, void* self) { static_cast<X11Clipboard*>(self)->mBroken = true; }

    void failWishes(uint64_t ownWanted, uint64_t requestWanted) {
        mOwnHandled = ownWanted;
        mRequestSent = requestWanted;
        std::lock_guard<std::mutex> lock(mMutex);
        mOwned = false;
        mOwnDone = ownWanted;
        mRequestOk = false;
        mRequestText.clear();
        mRequestDone = requestWanted;
        mCond.notify_all();
    }

    void takeOwnership(uint64_t serial) {
        mOwnHandled = serial;
        XSetSelectionOwner(mDisplay, mClipboard, mWindow, CurrentTime);
        const bool owned = XGetSelectionOwner(mDisplay, mClipboard) == mWindow;
        std::lock_guard<std::mutex> lock(mMutex);
        mOwned = owned;
        mOwnDone = serial;
        mCond.notify_all();
    }

    void startRequest(uint64_t serial) {
        mRequestSent = serial;
        mInFlight = false;
        mIncrActive = false;
        mIncoming.clear();
        const Window owner = XGetSelectionOwner(mDisplay, mClipboard);
        if (owner == None) {
            finish(false);
        } else if (owner == mWindow) {
            {
                std::lock_guard<std::mutex> lock(mMutex);
                mIncoming = mText;
            }
            finish(true);
        } else {
            mTryingString = false;
            mInFlight = true;
            XConvertSelection(mDisplay, mClipboard, mUtf8, mProperty, mWindow, CurrentTime);
        }
    }

    // Hands the collected text (cut to the requested length) or a failure to the waiting caller.
    void finish(bool ok) {
        mInFlight = false;
        mIncrActive = false;
        std::lock_guard<std::mutex> lock(mMutex);
        if (mIncoming.size() > mRequestMax) mIncoming.resize(mRequestMax);
        mRequestOk = ok;
        mRequestText = ok ? std::move(mIncoming) : std::string();
        mIncoming.clear();
        mRequestDone = mRequestSent;
        mCond.notify_all();
    }

    size_t requestMax() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mRequestMax;
    }

    void handle(XEvent& event) {
        switch (event.type) {
            case SelectionRequest:
                answer(event.xselectionrequest);
                break;
            case SelectionClear:
                // A clear can arrive after we took the selection back (two quick copies here with
                // another program's copy between them): it is stale then. The server's current owner
                // decides.
                if (event.xselectionclear.selection == mClipboard &&
                    XGetSelectionOwner(mDisplay, mClipboard) != mWindow) {
                    std::lock_guard<std::mutex> lock(mMutex);
                    mOwned = false;
                }
                break;
            case SelectionNotify:
                if (mInFlight && !mIncrActive && event.xselection.selection == mClipboard &&
                    event.xselection.requestor == mWindow) {
                    received(event.xselection);
                }
                break;
            case PropertyNotify:
                if (mIncrActive && event.xproperty.window == mWindow && event.xproperty.atom == mProperty &&
                    event.xproperty.state == PropertyNewValue) {
                    receivedChunk();
                }
                break;
            default:
                break;
        }
    }

    // Our request was answered: the text is in our property (or the owner refused the target).
    void received(const XSelectionEvent& e) {
        if (e.property == None) {
            if (!mTryingString) {  // an older owner may only know STRING
                mTryingString = true;
                XConvertSelection(mDisplay, mClipboard, XA_STRING, mProperty, mWindow, CurrentTime);
            } else {
                finish(false);
            }
            return;
        }
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        // Read no more than we keep: the property is cut on the server's side.
        const long longs = static_cast<long>(requestMax() / 4 + 1);
        const int status = XGetWindowProperty(mDisplay, mWindow, mProperty, 0, longs, False, AnyPropertyType, &type,
                                              &format, &count, &after, &data);
        const owned::XMemory<unsigned char> held(data);
        if (status != Success) {
            finish(false);
            return;
        }
        if (type == mIncr) {
            // The owner sends a large text in pieces, each announced by a new value of the property;
            // deleting the property asks for the first piece.
            mIncrActive = true;
            XDeleteProperty(mDisplay, mWindow, mProperty);
            return;
        }
        XDeleteProperty(mDisplay, mWindow, mProperty);
        if (format == 8 && data != nullptr) mIncoming.assign(reinterpret_cast<const char*>(data), count);
        finish(format == 8);
    }

    void receivedChunk() {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const size_t max = requestMax();
        const size_t room = mIncoming.size() < max ? max - mIncoming.size() : 0;
        const long longs = static_cast<long>(room / 4 + 1);
        const int status = XGetWindowProperty(mDisplay, mWindow, mProperty, 0, longs, False, AnyPropertyType, &type,
                                              &format, &count, &after, &data);
        const owned::XMemory<unsigned char> held(data);
        // Deleting the property (whether or not we kept all of it) asks for the next piece.
        XDeleteProperty(mDisplay, mWindow, mProperty);
        if (status != Success || format != 8) {
            finish(false);
            return;
        }
        const bool last = count == 0 && after == 0;
        if (data != nullptr) mIncoming.append(reinterpret_cast<const char*>(data), std::min<size_t>(count, room));
        if (last) finish(true);
    }

    // Another program asks for the clipboard's contents.
    void answer(const XSelectionRequestEvent& r) {
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = mDisplay;
        reply.requestor = r.requestor;
        reply.selection = r.selection;
        reply.target = r.target;
        reply.time = r.time;
        reply.property = None;
        const Atom property = r.property != None ? r.property : r.target;  // obsolete clients give none
        bool owned = false;
        std::string text;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            owned = mOwned;
            if (owned) text = mText;
        }
        if (r.selection == mClipboard && owned) {
            if (r.target == mTargets) {
                const Atom targets[4] = {mTargets, mUtf8, XA_STRING, mTextAtom};
                XChangeProperty(mDisplay, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(targets), 4);
                reply.property = property;
            } else if ((r.target == mUtf8 || r.target == XA_STRING || r.target == mTextAtom) &&
                       text.size() <= mMaxServed) {
                XChangeProperty(mDisplay, r.requestor, property, r.target == XA_STRING ? XA_STRING : mUtf8, 8,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
                reply.property = property;
            }
        }
        XSendEvent(mDisplay, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        XFlush(mDisplay);
    }

    const std::chrono::milliseconds mTimeout;
    owned::XDisplay mDisplayOwner;  // declared before the window: it goes after it
    owned::XWindow mWindowOwner;
    Display* mDisplay = nullptr;    // the two above, as Xlib takes them
    Window mWindow = 0;
    std::atomic<bool> mBroken{false};  // set by Xlib on the service thread (or the caller's, at open)
    Atom mClipboard = None, mUtf8 = None, mTextAtom = None, mTargets = None, mIncr = None, mProperty = None;
    size_t mMaxServed = 0;
    int mWake[2] = {-1, -1};
    std::thread mThread;

    // Shared between the caller's thread and the service thread, under mMutex.
    std::mutex mMutex;
    std::condition_variable mCond;
    bool mStop = false;
    std::string mText;  // what we serve
    bool mOwned = false;
    uint64_t mOwnWanted = 0, mOwnDone = 0;
    uint64_t mRequestWanted = 0, mRequestDone = 0;
    size_t mRequestMax = 0;
    bool mRequestOk = false;
    std::string mRequestText;

    // The service thread's own.
    uint64_t mOwnHandled = 0;
    uint64_t mRequestSent = 0;
    bool mInFlight = false;
    bool mTryingString = false;
    bool mIncrActive = false;
    std::string mIncoming;
};

}  // namespace

std::unique_ptr<IPlatformClipboard> createX11Clipboard(int timeoutMs) {
    auto clipboard = std::make_unique<X11Clipboard>(timeoutMs);
    if (!clipboard->open()) return nullptr;
    return clipboard;
}

void setClipboardOverride(IPlatformClipboard* clipboard) { gOverride = clipboard; }
IPlatformClipboard* getClipboardOverride() { return gOverride; }

}  // namespace VSTGUI
