// The deleters of the Xlib owners: the one place where the toolkit releases Xlib objects.
#include "vstgui/owned.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

namespace VSTGUI {
namespace owned {

void DisplayDeleter::operator()(Display* p) const { XCloseDisplay(p); }
void XFreeDeleter::operator()(void* p) const { XFree(p); }
void XrmDeleter::operator()(_XrmHashBucketRec* p) const { XrmDestroyDatabase(p); }

void XWindow::reset() {
    if (mDisplay != nullptr && mWindow != 0) XDestroyWindow(mDisplay, mWindow);
    mWindow = 0;
}

}  // namespace owned
}  // namespace VSTGUI
