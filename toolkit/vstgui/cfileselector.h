// File dialogs: a file selector that lets the user pick a file to open or a file name to save to.
//
// On this platform the dialog is the desktop's file chooser, run as a separate program (zenity), as
// Linux plug-in editors commonly do. The selector can run it modally (runModal blocks until the
// chooser closes) or in the background (run returns at once; the owner calls poll() from its idle or
// timer and the callback fires there once the chooser has closed), so that the editor keeps drawing
// while the dialog is open. A chooser that cannot be started, or a dialog the user cancels, selects
// nothing.
//
// Tests replace the desktop chooser with their own through setChooserFactory.
//
// Threading: the user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vstgui/vstguibase.h"

namespace VSTGUI {

class CFrame;

// One entry of a dialog's file-type filter.
class CFileExtension {
public:
    CFileExtension(const char* description, const char* extension, const char* mimeType = nullptr,
                   int32_t macType = 0, const char* uti = nullptr);

    const std::string& getDescription() const { return mDescription; }
    const std::string& getExtension() const { return mExtension; }
    const std::string& getMimeType() const { return mMimeType; }
    int32_t getMacType() const { return mMacType; }
    const std::string& getUTI() const { return mUTI; }
    bool operator==(const CFileExtension& other) const;

private:
    std::string mDescription;
    std::string mExtension;
    std::string mMimeType;
    int32_t mMacType;
    std::string mUTI;
};

// What a chooser is asked to show: a file chooser, or (Mode::Question) a yes-or-no question.
struct FileChooserRequest {
    enum class Mode { Open, Save, Directory, Question };
    Mode mode = Mode::Open;
    std::string title;
    std::vector<CFileExtension> extensions;
    int32_t defaultExtension = -1;  // index into extensions, or -1
    bool allowMultiple = false;
    // Save: the chooser itself asks before a file of the name typed is replaced.
    bool confirmOverwrite = true;
    // Question: the text asked (plain text, shown as it is).
    std::string question;
};

// A file chooser the selector drives: started once, then polled until it is done. Destroying a
// chooser that is still open closes it.
class IFileChooser {
public:
    enum class State { Running, Done };
    virtual ~IFileChooser() = default;
    // Opens the chooser. False when it cannot be opened (then nothing is selected).
    virtual bool start(const FileChooserRequest& request) = 0;
    // Done once the chooser has closed; `selected` then holds the chosen paths (none when cancelled).
    // For a question: one entry when the user said yes, none for no.
    virtual State poll(std::vector<std::string>& selected) = 0;
};

class CNewFileSelector : public CBaseObject {
public:
    enum Style {
        kSelectFile = 0,      // choose an existing file to open
        kSelectSaveFile = 1,  // choose a file name to save to; confirms replacing an existing file
        kSelectDirectory = 2,
    };
    using CallbackFunc = std::function<void(CNewFileSelector*)>;

    // A new selector (one reference, the caller's) for dialogs over `parent`; null for an unknown style.
    static CNewFileSelector* create(CFrame* parent = nullptr, Style style = kSelectFile);

    void setTitle(const char* title);
    void addFileExtension(const CFileExtension& extension);
    // Makes `extension` the preselected filter (added first when it is not yet in the list).
    void setDefaultExtension(const CFileExtension& extension);
    void setAllowMultiFileSelection(bool allow);
    // Save dialogs: the name the owner will really write for a chosen path (say, with an extension
    // added). Once set, the selector itself asks before that file is replaced (the question names
    // it), the chooser no longer asks about the name as typed, and declining opens the chooser again.
    using SaveNameFunc = std::function<std::string(const std::string& chosen)>;
    void setSaveName(SaveNameFunc name);

    // Shows the dialog and waits until it closes. True when at least one file was selected.
    bool runModal();
    // Shows the dialog and returns at once: true when the chooser is open, false when it could not be
    // opened (the callback is then never called) or a dialog of this selector is already open.
    // poll() calls `callback` once the dialog has closed, with or without a selection.
    bool run(CallbackFunc callback);
    bool isRunning() const { return mChooser != nullptr; }
    // Checks on a dialog opened by run(); calls its callback when it has closed. Call it often (from
    // the idle or timer of the frame); it never blocks.
    void poll();

    uint32_t getNumSelectedFiles() const { return static_cast<uint32_t>(mSelected.size()); }
    // The index-th selected path, or null.
    const char* getSelectedFile(uint32_t index) const;

    Style getStyle() const { return mStyle; }
    CFrame* getFrame() const { return mFrame; }

    // The chooser every selector uses from now on: null restores the desktop chooser.
    using ChooserFactory = std::function<std::unique_ptr<IFileChooser>()>;
    static void setChooserFactory(ChooserFactory factory);
    // The desktop chooser (zenity, found on the PATH).
    static std::unique_ptr<IFileChooser> createDesktopChooser();

protected:
    CNewFileSelector(CFrame* frame, Style style);
    ~CNewFileSelector() override;

private:
    bool startChooser();
    bool startQuestion(const std::string& written);
    // The open chooser has closed with `selected`: true when the dialog is over (mSelected holds its
    // answer), false when the replace question or the chooser again is open now.
    bool advance(std::vector<std::string>& selected);

    CFrame* mFrame;
    Style mStyle;
    FileChooserRequest mRequest;
    std::unique_ptr<IFileChooser> mChooser;  // set while a dialog (or its question) is open
    CallbackFunc mCallback;
    SaveNameFunc mSaveName;
    bool mAsking = false;      // the open chooser is the replace question
    std::string mPendingPath;  // the path the question is about
    std::vector<std::string> mSelected;
};

}  // namespace VSTGUI
