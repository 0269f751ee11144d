// A dialog built from a template, with a message map of its own.
//
// Handlers run on the UI thread. Other threads never touch the window: they
// post operations with PostToUi, which run in order on the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"
#include "platform/dialog_template.h"
#include "platform/list_view.h"
#include "platform/ui_queue.h"
#include "platform/window_messages.h"

namespace platform {

using MessageHandler = std::function<std::intptr_t(std::uintptr_t wParam, std::intptr_t lParam)>;

// WM_COMMAND and WM_NOTIFY entries name a notification code and a control id;
// other messages leave both 0.
struct MessageMapEntry {
    unsigned message;
    unsigned code;
    int id;
    MessageHandler handler;
};

class Dialog {
public:
    explicit Dialog(const DialogTemplate& dialogTemplate);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the window and initialises it (OnInitDialog), without waiting
    // for it to end. False when no window could be created.
    bool Create(Dialog* owner = nullptr);
    // Creates the window, initialises it and runs it until EndDialog.
    std::intptr_t DoModal();
    // Creates and shows the window modally over `owner`, and returns at once.
    // The owner keeps the dialog object until its window has ended, or until
    // the owner itself goes.
    static void OpenModal(std::unique_ptr<Dialog> dialog, Dialog* owner);
    void EndDialog(std::intptr_t result);
    bool HasWindow() const { return window_ != nullptr; }

    // Window operations, UI thread only. Texts are in the ANSI code page.
    void SetWindowText(std::string_view text);
    std::string GetWindowText() const;
    void SetDlgItemText(int id, std::string_view text);
    std::string GetDlgItemText(int id) const;
    // Copies at most size - 1 bytes of the control's text and a NUL.
    int GetDlgItemText(int id, char* buffer, int size) const;
    void EnableDlgItem(int id, bool enable);
    bool IsDlgItemEnabled(int id) const;
    void CheckDlgButton(int id, int state);
    int IsDlgButtonChecked(int id) const;
    ListView* GetListView(int id);
    // A modal message box owned by this dialog; the id of the button that
    // closed it, or 0 when none could be shown.
    int MessageBox(std::string_view text, std::string_view caption, unsigned type);
    SystemMenu* GetSystemMenu();
    void SetIcon(const Icon& icon, bool big);

    // Any thread: runs `op` on the UI thread after every operation posted
    // before it. Dropped when the window no longer exists.
    void PostToUi(UiQueue::Op op);
    UiQueue& Queue() { return queue_; }

    // Delivers a message to the message map, or to the default handling.
    std::intptr_t Dispatch(unsigned message, unsigned code, int id, std::uintptr_t wParam = 0,
                           std::intptr_t lParam = 0);

    const DialogTemplate& Template() const { return template_; }
    WindowBackend* Window() const { return window_.get(); }

protected:
    // Runs DoDataExchange first, as the framework's own initialisation does.
    virtual bool OnInitDialog();
    virtual void DoDataExchange() {}
    virtual std::vector<MessageMapEntry> MessageMap() { return {}; }
    std::intptr_t DefWindowProc(unsigned message, unsigned code, int id, std::uintptr_t wParam,
                                std::intptr_t lParam);

private:
    void DestroyWindow();

    const DialogTemplate& template_;
    std::unique_ptr<WindowBackend> window_;
    std::vector<MessageMapEntry> messageMap_;
    bool messageMapBuilt_ = false;
    UiQueue queue_;
    std::vector<std::unique_ptr<Dialog>> modalChildren_;
};

}  // namespace platform
