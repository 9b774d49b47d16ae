// The editor's frame: a toolkit frame that also carries the data model's interface, opened on the
// host's native parent view.
//
// The parent is the host's X11 native-view record: with a window the frame opens as a child window
// and registers its display connection with the host's run loop; without one it draws offscreen.
#pragma once

#include <memory>

#include "vstgui/vstgui.h"

class AAX_IACFEffectParameters;
struct AAX_SX11NativeView;

class VSTGUI_ContentView : public VSTGUI::CFrame {
public:
    // `parent` is the container's native pointer (an AAX_SX11NativeView record) or null (offscreen).
    VSTGUI_ContentView(void* parent, AAX_IACFEffectParameters* parameters, VSTGUI::VSTGUIEditorInterface* editor);

    // The data model's interface (not owned; may be null).
    AAX_IACFEffectParameters* getParameters() const { return mParameters; }
    // The host's native-view record, or null.
    AAX_SX11NativeView* getNativeView() const { return mNativeView; }

    bool setPosition(VSTGUI::CCoord x, VSTGUI::CCoord y) override;
    bool setSize(VSTGUI::CCoord width, VSTGUI::CCoord height) override;
    bool getSize(VSTGUI::CRect& size) const override;
    // False while the view is hidden (visible flag clear or alpha not above 0).
    bool getSize(VSTGUI::CRect* size) const override;
    bool platformOnKeyDown(VSTGUI::VstKeyCode& keyCode) override;

    // Drags go straight to the container handling, bypassing the frame's own.
    bool onDrop(VSTGUI::IDataPackage* drag, const VSTGUI::CPoint& where) override;
    void onDragEnter(VSTGUI::IDataPackage* drag, const VSTGUI::CPoint& where) override;
    void onDragLeave(VSTGUI::IDataPackage* drag, const VSTGUI::CPoint& where) override;
    void onDragMove(VSTGUI::IDataPackage* drag, const VSTGUI::CPoint& where) override;

    // Offscreen: copies the frame's image into the host's pixels (as much as fits). False when the
    // host gave no pixels.
    bool copyToNativePixels() const;

protected:
    ~VSTGUI_ContentView() override;

private:
    class RunLoop;
    AAX_IACFEffectParameters* mParameters;
    AAX_SX11NativeView* mNativeView;
    std::unique_ptr<RunLoop> mRunLoop;
};
