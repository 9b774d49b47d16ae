// The system text clipboard.
//
// On this platform it is the X11 CLIPBOARD selection: setting text makes the clipboard's owner window
// the selection owner, which then serves the text to any program that asks (as UTF8_STRING, STRING or
// TEXT, and lists those under TARGETS) until another program takes the selection or the clipboard
// object goes away. Getting text asks the current owner and waits for its answer at most a timeout.
// A frame keeps one clipboard for as long as it lives (CFrame::setClipboardText/getClipboardText).
//
// Tests put an in-memory clipboard in place of the system one with setClipboardOverride.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace VSTGUI {

class IPlatformClipboard {
public:
    virtual ~IPlatformClipboard() = default;
    // Makes `text` the clipboard's contents. False when the clipboard could not be taken.
    virtual bool setText(const std::string& text) = 0;
    // The clipboard's text, cut to at most `maxBytes` bytes. False when the clipboard holds no text or
    // its owner did not answer in time.
    virtual bool getText(std::string& text, size_t maxBytes) = 0;
};

// The X11 CLIPBOARD selection on a display connection of its own, served by a thread of its own so
// that other programs get their answer whatever the user-interface thread is doing. Null when no
// display can be opened. `timeoutMs` bounds every wait for another program's answer.
std::unique_ptr<IPlatformClipboard> createX11Clipboard(int timeoutMs = 1000);

// The clipboard every frame uses instead of the system one while set (not owned; null restores the
// system clipboard).
void setClipboardOverride(IPlatformClipboard* clipboard);
IPlatformClipboard* getClipboardOverride();

}  // namespace VSTGUI
