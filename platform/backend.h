// What a window toolkit provides to the platform layer. One backend is
// installed per process before the first dialog is created.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/icon.h"

namespace platform {

class Dialog;
class ListView;

// The system menu of a dialog window.
class SystemMenu {
public:
    virtual ~SystemMenu() = default;
    virtual void AppendSeparator() = 0;
    virtual void AppendItem(unsigned commandId, std::string_view text) = 0;
    virtual int ItemCount() const = 0;
    // Command id of entry `index`, 0 for a separator.
    virtual unsigned ItemId(int index) const = 0;
    virtual std::string ItemText(int index) const = 0;
};

// One live dialog window with its controls, built from the dialog's template.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    virtual void SetTitle(std::string_view ansi) = 0;
    virtual std::string Title() const = 0;
    virtual void SetControlText(int id, std::string_view ansi) = 0;
    virtual std::string ControlText(int id) const = 0;
    virtual void EnableControl(int id, bool enable) = 0;
    virtual bool IsControlEnabled(int id) const = 0;
    virtual void SetCheck(int id, int state) = 0;
    virtual int Check(int id) const = 0;
    virtual ListView* List(int id) = 0;
    virtual SystemMenu* Menu() = 0;
    virtual void SetIcon(const Icon& icon, bool big) = 0;
    virtual void FocusFirstControl() = 0;

    // Shows the window and returns the result given to End.
    virtual std::intptr_t RunModal() = 0;
    // Shows the window modally and returns at once; `ended` runs when End
    // has ended it, and must not delete the window itself.
    virtual void OpenModal(std::function<void(std::intptr_t)> ended) = 0;
    virtual void End(std::intptr_t result) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    // Builds the window of `dialog` from its template; `owner` may be null.
    virtual std::unique_ptr<WindowBackend> CreateDialogWindow(Dialog& dialog, Dialog* owner) = 0;
    // An icon of the requested size from an icon file; null when unreadable.
    virtual Icon LoadIconFile(const char* path, int width, int height) = 0;
    // An icon built into the program; null when there is none with that id.
    virtual Icon LoadIconResource(int id) = 0;
    // The scope under which the application's settings would be kept.
    virtual void SetSettingsScope(std::string_view scope) = 0;
    // Shows a modal message box over `owner` with `text` under `caption`
    // (ANSI code page) and returns the id of the button that closed it.
    // MB_OK: one OK button, no icon.
    virtual int MessageBox(Dialog& owner, std::string_view text, std::string_view caption, unsigned type) = 0;
    // Puts `text` (ANSI code page) on the clipboard.
    virtual void SetClipboardText(std::string_view text) = 0;
    // Opens `url` in the user's browser; false when nothing could open it.
    virtual bool OpenUrl(std::string_view url) = 0;
    // Asks where to save a file, starting from `suggested`; the path chosen
    // (in the file system's encoding), or empty when the user cancelled.
    virtual std::string AskSaveFileName(Dialog& owner, std::string_view caption, std::string_view suggested,
                                        std::string_view filter) = 0;
};

void SetBackend(Backend* backend);
Backend* GetBackend();

// Through the installed backend; null icons when there is none.
Icon LoadIconFile(const char* path, int width, int height);
Icon LoadIconResource(int id);

}  // namespace platform
