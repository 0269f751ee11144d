#include "tests/support/fake_window.h"

#include <algorithm>

#include "platform/text_buffer.h"

namespace testing_support {

int FakeListView::InsertColumn(int index, std::string_view heading, int width, int format) {
    index = std::clamp(index, 0, ColumnCount());
    columns.insert(columns.begin() + index, Column{std::string(heading), width, format});
    return index;
}

int FakeListView::GetColumnHeading(int column, char* buffer, int size) const {
    if (column < 0 || column >= ColumnCount()) return platform::CopyToBuffer({}, buffer, size);
    return platform::CopyToBuffer(columns[static_cast<std::size_t>(column)].heading, buffer, size);
}

int FakeListView::ColumnWidth(int column) const {
    if (column < 0 || column >= ColumnCount()) return 0;
    return columns[static_cast<std::size_t>(column)].width;
}

int FakeListView::InsertItem(int index, std::string_view text) {
    if (index < 0) return -1;
    index = std::min(index, GetItemCount());
    rows.insert(rows.begin() + index, std::vector<std::string>{std::string(text)});
    selected.insert(selected.begin() + index, false);
    return index;
}

bool FakeListView::SetItemText(int item, int subItem, std::string_view text) {
    if (item < 0 || item >= GetItemCount() || subItem < 0) return false;
    auto& row = rows[static_cast<std::size_t>(item)];
    if (static_cast<std::size_t>(subItem) >= row.size()) row.resize(static_cast<std::size_t>(subItem) + 1);
    row[static_cast<std::size_t>(subItem)].assign(text);
    return true;
}

bool FakeListView::DeleteAllItems() {
    rows.clear();
    selected.clear();
    return true;
}

int FakeListView::GetItemText(int item, int subItem, char* buffer, int size) const {
    if (item < 0 || item >= GetItemCount() || subItem < 0) return platform::CopyToBuffer({}, buffer, size);
    const auto& row = rows[static_cast<std::size_t>(item)];
    return platform::CopyToBuffer(static_cast<std::size_t>(subItem) < row.size() ? row[static_cast<std::size_t>(subItem)]
                                                                   : std::string(),
                   buffer, size);
}

int FakeListView::GetNextSelectedItem(int start) const {
    for (int i = std::max(start + 1, 0); i < GetItemCount(); ++i)
        if (selected[static_cast<std::size_t>(i)]) return i;
    return -1;
}

void FakeListView::SetItemSelected(int item, bool on) {
    if (item >= 0 && item < GetItemCount()) selected[static_cast<std::size_t>(item)] = on;
}

void FakeListView::SetExtendedStyle(std::uint32_t mask, std::uint32_t style) {
    exStyle = mask == 0 ? style : ((exStyle & ~mask) | (style & mask));
}

FakeWindow::FakeWindow(platform::Dialog& owner) : dialog(owner) {
    const platform::DialogTemplate& t = owner.Template();
    title = t.caption;
    for (const platform::ControlTemplate& c : t.controls) {
        if (c.id == platform::kStaticId) continue;
        if (c.kind == platform::ControlKind::ListView) lists[c.id];
        texts[c.id] = c.caption ? c.caption : "";
        enabled[c.id] = (c.style & platform::WS_DISABLED) == 0;
    }
    // Operations posted from other threads wait for the test to drain them.
    owner.Queue().SetWake([] {});
}

FakeWindow::~FakeWindow() { dialog.Queue().SetWake({}); }

std::string FakeWindow::ControlText(int id) const {
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
}

bool FakeWindow::IsControlEnabled(int id) const {
    const auto it = enabled.find(id);
    return it != enabled.end() && it->second;
}

int FakeWindow::Check(int id) const {
    const auto it = checks.find(id);
    return it == checks.end() ? 0 : it->second;
}

platform::ListView* FakeWindow::List(int id) {
    const auto it = lists.find(id);
    return it == lists.end() ? nullptr : &it->second;
}

FakeBackend::FakeBackend() { platform::SetBackend(this); }

FakeBackend::~FakeBackend() {
    if (platform::GetBackend() == this) platform::SetBackend(nullptr);
}

std::unique_ptr<platform::WindowBackend> FakeBackend::CreateDialogWindow(platform::Dialog& dialog,
                                                                         platform::Dialog*) {
    return std::make_unique<FakeWindow>(dialog);
}

int FakeBackend::MessageBox(platform::Dialog&, std::string_view text, std::string_view caption, unsigned type) {
    messages.push_back({std::string(text), std::string(caption), type});
    return platform::IDOK;
}

FakeDialog::FakeDialog(const platform::DialogTemplate& dialogTemplate) : platform::Dialog(dialogTemplate) {
    Create();
}

}  // namespace testing_support
