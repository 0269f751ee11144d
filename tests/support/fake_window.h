// A window backend without a toolkit, for tests of code that talks to a
// dialog through the platform layer.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/dialog.h"
#include "platform/list_view.h"

namespace testing_support {

class FakeListView : public platform::ListView {
public:
    struct Column {
        std::string heading;
        int width;
        int format;
    };

    int InsertColumn(int index, std::string_view heading, int width, int format) override;
    int ColumnCount() const override { return static_cast<int>(columns.size()); }
    int GetColumnHeading(int column, char* buffer, int size) const override;
    int ColumnWidth(int column) const override;
    int InsertItem(int index, std::string_view text) override;
    bool SetItemText(int item, int subItem, std::string_view text) override;
    bool DeleteAllItems() override;
    int GetItemCount() const override { return static_cast<int>(rows.size()); }
    int GetItemText(int item, int subItem, char* buffer, int size) const override;
    int GetNextSelectedItem(int start) const override;
    void SetItemSelected(int item, bool selected) override;
    void SetExtendedStyle(std::uint32_t mask, std::uint32_t style) override;
    std::uint32_t ExtendedStyle() const override { return exStyle; }
    void SetBkColor(platform::ColorRef c) override { bk = c; }
    void SetTextColor(platform::ColorRef c) override { textColor = c; }
    void SetTextBkColor(platform::ColorRef c) override { textBk = c; }
    platform::ColorRef BkColor() const override { return bk; }
    platform::ColorRef TextColor() const override { return textColor; }
    platform::ColorRef TextBkColor() const override { return textBk; }
    void SetCopyAction(std::function<void()> copy) override { copyAction = std::move(copy); }
    void SetRowMenu(std::vector<platform::ListAction> actions) override { rowMenu = std::move(actions); }

    std::function<void()> copyAction;
    std::vector<platform::ListAction> rowMenu;

    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> selected;
    std::uint32_t exStyle = 0;
    platform::ColorRef bk = 0xFFFFFF, textColor = 0, textBk = 0xFFFFFF;
};

class FakeWindow : public platform::WindowBackend {
public:
    explicit FakeWindow(platform::Dialog& dialog);
    ~FakeWindow() override;

    void SetTitle(std::string_view ansi) override { title.assign(ansi); }
    std::string Title() const override { return title; }
    void SetControlText(int id, std::string_view ansi) override { texts[id].assign(ansi); }
    std::string ControlText(int id) const override;
    void EnableControl(int id, bool enable) override { enabled[id] = enable; }
    bool IsControlEnabled(int id) const override;
    void SetCheck(int id, int state) override { checks[id] = state; }
    int Check(int id) const override;
    platform::ListView* List(int id) override;
    platform::SystemMenu* Menu() override { return nullptr; }
    void SetIcon(const platform::Icon&, bool) override {}
    void FocusFirstControl() override {}
    std::intptr_t RunModal() override { return result; }
    void OpenModal(std::function<void(std::intptr_t)>) override {}
    void End(std::intptr_t r) override { result = r; }

    platform::Dialog& dialog;
    std::string title;
    std::map<int, std::string> texts;
    std::map<int, bool> enabled;
    std::map<int, int> checks;
    std::map<int, FakeListView> lists;
    std::intptr_t result = 0;
};

// Installs itself as the process's backend while it lives. Every dialog
// window it creates is a FakeWindow whose list controls are the template's
// list-view ids.
class FakeBackend : public platform::Backend {
public:
    FakeBackend();
    ~FakeBackend() override;
    std::unique_ptr<platform::WindowBackend> CreateDialogWindow(platform::Dialog& dialog,
                                                                platform::Dialog* owner) override;
    platform::Icon LoadIconFile(const char*, int, int) override { return {}; }
    platform::Icon LoadIconResource(int) override { return {}; }
    void SetSettingsScope(std::string_view) override {}
    // Records the box and answers as its OK button would.
    int MessageBox(platform::Dialog& owner, std::string_view text, std::string_view caption, unsigned type) override;
    void SetClipboardText(std::string_view text) override { clipboard.assign(text); }
    bool OpenUrl(std::string_view url) override {
        openedUrls.emplace_back(url);
        return true;
    }
    std::string AskSaveFileName(platform::Dialog&, std::string_view, std::string_view, std::string_view) override {
        return saveFileName;
    }

    std::string clipboard;
    std::vector<std::string> openedUrls;
    std::string saveFileName;  // what the user "chooses"; empty: cancelled

    struct ShownMessage {
        std::string text;
        std::string caption;
        unsigned type;
        bool operator==(const ShownMessage&) const = default;
    };
    std::vector<ShownMessage> messages;
};

// A dialog with a live fake window, built from `dialogTemplate` at once.
class FakeDialog : public platform::Dialog {
public:
    explicit FakeDialog(const platform::DialogTemplate& dialogTemplate);
    FakeWindow& window() { return *static_cast<FakeWindow*>(Window()); }
    FakeListView& list(int id) { return window().lists.at(id); }
    // Runs the operations posted to the UI thread.
    std::size_t DrainUi() { return Queue().Drain(); }

private:
    FakeBackend backend_;
};

}  // namespace testing_support
