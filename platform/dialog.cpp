#include "platform/dialog.h"

#include "platform/text_buffer.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform {
namespace {
Backend* g_backend = nullptr;
}  // namespace

void SetBackend(Backend* backend) { g_backend = backend; }
Backend* GetBackend() { return g_backend; }

Icon LoadIconFile(const char* path, int width, int height) {
    return g_backend ? g_backend->LoadIconFile(path, width, height) : Icon();
}

Icon LoadIconResource(int id) { return g_backend ? g_backend->LoadIconResource(id) : Icon(); }

Dialog::Dialog(const DialogTemplate& dialogTemplate) : template_(dialogTemplate) {}

Dialog::~Dialog() {
    // Windows opened over this one go before it.
    modalChildren_.clear();
    DestroyWindow();
}

bool Dialog::Create(Dialog* owner) {
    if (!messageMapBuilt_) {
        messageMap_ = MessageMap();
        messageMapBuilt_ = true;
    }
    if (window_ || g_backend == nullptr) return window_ != nullptr;
    window_ = g_backend->CreateDialogWindow(*this, owner);
    if (!window_) return false;
    if (OnInitDialog()) window_->FocusFirstControl();
    return true;
}

void Dialog::DestroyWindow() {
    queue_.SetWake({});
    window_.reset();
}

bool Dialog::OnInitDialog() {
    DoDataExchange();
    return true;
}

std::intptr_t Dialog::DoModal() {
    if (!Create()) return -1;
    const std::intptr_t result = window_->RunModal();
    DestroyWindow();
    return result;
}

void Dialog::OpenModal(std::unique_ptr<Dialog> dialog, Dialog* owner) {
    if (owner == nullptr || !dialog->Create(owner)) return;
    Dialog* raw = dialog.get();
    owner->modalChildren_.push_back(std::move(dialog));
    // Released on the owner's UI queue, after the child's window has left the
    // signal that reported its end.
    raw->window_->OpenModal([owner, raw](std::intptr_t) {
        owner->PostToUi([owner, raw] {
            auto& children = owner->modalChildren_;
            for (auto it = children.begin(); it != children.end(); ++it) {
                if (it->get() == raw) {
                    children.erase(it);
                    break;
                }
            }
        });
    });
}

void Dialog::EndDialog(std::intptr_t result) {
    if (window_) window_->End(result);
}

void Dialog::SetWindowText(std::string_view text) {
    if (window_) window_->SetTitle(text);
}

std::string Dialog::GetWindowText() const { return window_ ? window_->Title() : std::string(); }

void Dialog::SetDlgItemText(int id, std::string_view text) {
    if (window_) window_->SetControlText(id, text);
}

std::string Dialog::GetDlgItemText(int id) const {
    return window_ ? window_->ControlText(id) : std::string();
}

int Dialog::GetDlgItemText(int id, char* buffer, int size) const {
    return CopyToBuffer(GetDlgItemText(id), buffer, size);
}

void Dialog::EnableDlgItem(int id, bool enable) {
    if (window_) window_->EnableControl(id, enable);
}

bool Dialog::IsDlgItemEnabled(int id) const { return window_ && window_->IsControlEnabled(id); }

void Dialog::CheckDlgButton(int id, int state) {
    if (window_) window_->SetCheck(id, state);
}

int Dialog::IsDlgButtonChecked(int id) const { return window_ ? window_->Check(id) : 0; }

ListView* Dialog::GetListView(int id) { return window_ ? window_->List(id) : nullptr; }

int Dialog::MessageBox(std::string_view text, std::string_view caption, unsigned type) {
    if (g_backend == nullptr || !window_) return 0;
    return g_backend->MessageBox(*this, text, caption, type);
}

SystemMenu* Dialog::GetSystemMenu() { return window_ ? window_->Menu() : nullptr; }

void Dialog::SetIcon(const Icon& icon, bool big) {
    if (window_) window_->SetIcon(icon, big);
}

void Dialog::PostToUi(UiQueue::Op op) { queue_.Post(std::move(op)); }

std::intptr_t Dialog::Dispatch(unsigned message, unsigned code, int id, std::uintptr_t wParam,
                               std::intptr_t lParam) {
    for (const MessageMapEntry& entry : messageMap_) {
        if (entry.message == message && entry.code == code && entry.id == id)
            return entry.handler(wParam, lParam);
    }
    return DefWindowProc(message, code, id, wParam, lParam);
}

std::intptr_t Dialog::DefWindowProc(unsigned message, unsigned code, int id, std::uintptr_t wParam,
                                    std::intptr_t /*lParam*/) {
    switch (message) {
    case WM_CLOSE:
        EndDialog(IDCANCEL);
        return 0;
    case WM_COMMAND:
        if (code == BN_CLICKED && (id == IDOK || id == IDCANCEL)) EndDialog(id);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0u) == SC_CLOSE) return Dispatch(WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

}  // namespace platform
