// The host-facing base of the plug-in's editor object, without any GUI toolkit: it holds the host's
// controller and transport, the data model's interface and the host's view container, and calls the
// view-building hooks that a toolkit layer overrides.
//
// Threading: every operation, including the host's timer call, runs on the host's user-interface
// thread; the object takes no locks.
#pragma once

#include "AAX_IEffectGUI.h"

class AAX_IACFEffectParameters;
class AAX_IController;
class AAX_ITransport;
class AAX_IViewContainer;

class AAX_CEffectGUI : public AAX_IEffectGUI {
public:
    AAX_CEffectGUI();
    // Uninitializes (view container and host objects are released).
    ~AAX_CEffectGUI() override;
    AAX_CEffectGUI(const AAX_CEffectGUI&) = delete;
    AAX_CEffectGUI& operator=(const AAX_CEffectGUI&) = delete;

    // Creates the controller wrapper from `host`; with a null host returns -20011 and does nothing
    // more. Otherwise asks `host` for the data model's interface, creates the transport wrapper,
    // runs CreateViewContents and returns 0. A second call first drops what the first obtained.
    AAX_Result Initialize(IACFUnknown* host) override;
    // Releases the view container (after DeleteViewContainer), the data model's interface, and
    // deletes the controller and transport wrappers; returns 0.
    AAX_Result Uninitialize() override;
    // Returns 0.
    AAX_Result NotificationReceived(AAX_CTypeID type, const void* data, uint32_t size) override;
    // Non-null: wraps the container, keeps it, runs CreateViewContainer and UpdateAllParameters (a
    // container already held is first released after DeleteViewContainer). Null: clears the
    // container, runs DeleteViewContainer and then releases the old wrapper. Returns 0.
    AAX_Result SetViewContainer(IACFUnknown* container) override;
    // Without a view (as here) leaves `size` untouched; returns 0. A toolkit layer reports its frame.
    AAX_Result GetViewSize(AAX_Point* size) const override;
    // Without a view does nothing; returns 0.
    AAX_Result Draw(AAX_Rect* rect) override;
    // Returns 0.
    AAX_Result TimerWakeup() override;
    // Returns 0; the editor pushes the value into its control.
    AAX_Result ParameterUpdated(AAX_CParamID id) override;
    // Offers no custom labels: returns -20004 and writes nothing.
    AAX_Result GetCustomLabel(int32_t selector, AAX_IString* label) const override;
    // Returns 0.
    AAX_Result SetControlHighlightInfo(AAX_CParamID id, AAX_CBoolean isHighlighted, int32_t color) override;

    // The data model's interface (null before Initialize or when the host offered none).
    AAX_IACFEffectParameters* GetEffectParameters() const { return mEffectParameters; }
    AAX_IViewContainer* GetViewContainer() const { return mViewContainer; }
    // The container's type and native pointer, or 0 and null without a container.
    int32_t GetViewContainerType() const;
    void* GetViewContainerPtr() const;
    AAX_IController* GetController() const { return mController; }
    AAX_ITransport* GetTransport() const { return mTransport; }

protected:
    // View-building hooks; they do nothing at this level.
    // Runs once from Initialize, before any view exists: load what every view needs.
    virtual void CreateViewContents();
    // Runs when a container arrives: build the view in it.
    virtual void CreateViewContainer();
    // Runs when the container goes (and before a new one replaces it): destroy the view.
    virtual void DeleteViewContainer();
    // Calls ParameterUpdated for every parameter of the data model, in index order (nothing without
    // a data model, or when the count cannot be read or is negative).
    virtual void UpdateAllParameters();
    // Builds the editor's view in the native parent view.
    virtual void CreateEffectView(void* parent);

private:
    void ReleaseViewContainer();
    void ReleaseHostObjects();

    AAX_IController* mController;                 // owned wrapper
    AAX_IACFEffectParameters* mEffectParameters;  // one counted reference
    AAX_IViewContainer* mViewContainer;           // owned wrapper
    AAX_ITransport* mTransport;                   // owned wrapper
};
