// The report-style list control as the system uses it. UI thread only;
// background threads reach it through Dialog::PostToUi.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_messages.h"

namespace platform {

// A command the list offers on a row's context menu, for the row clicked.
struct ListAction {
    std::string text;                       // ANSI code page; & marks the access key
    std::function<bool(int item)> enabled;  // asked when the menu opens; null: always
    std::function<void(int item)> chosen;
};

class ListView {
public:
    virtual ~ListView() = default;

    // Columns. Headings are texts in the ANSI code page.
    virtual int InsertColumn(int index, std::string_view heading, int width,
                             int format = LVCFMT_LEFT) = 0;
    virtual int ColumnCount() const = 0;
    // Copies at most size - 1 bytes and a NUL; returns the bytes copied.
    virtual int GetColumnHeading(int column, char* buffer, int size) const = 0;
    virtual int ColumnWidth(int column) const = 0;

    // Items. InsertItem returns the new item's index, or -1.
    virtual int InsertItem(int index, std::string_view text) = 0;
    virtual bool SetItemText(int item, int subItem, std::string_view text) = 0;
    virtual bool DeleteAllItems() = 0;
    virtual int GetItemCount() const = 0;
    // Copies at most size - 1 bytes and a NUL; returns the bytes copied.
    virtual int GetItemText(int item, int subItem, char* buffer, int size) const = 0;
    // The first selected item after `start` (-1: from the first item), or -1.
    virtual int GetNextSelectedItem(int start) const = 0;
    virtual void SetItemSelected(int item, bool selected) = 0;

    // Appearance.
    virtual void SetExtendedStyle(std::uint32_t mask, std::uint32_t style) = 0;
    virtual std::uint32_t ExtendedStyle() const = 0;
    virtual void SetBkColor(ColorRef color) = 0;
    virtual void SetTextColor(ColorRef color) = 0;
    virtual void SetTextBkColor(ColorRef color) = 0;
    virtual ColorRef BkColor() const = 0;
    virtual ColorRef TextColor() const = 0;
    virtual ColorRef TextBkColor() const = 0;

    // The copy key (Ctrl+C) while the list has the focus.
    virtual void SetCopyAction(std::function<void()> copy) = 0;
    // The menu of a right click on a row, which selects that row first. A
    // right click elsewhere goes on to the window's own menu.
    virtual void SetRowMenu(std::vector<ListAction> actions) = 0;
};

}  // namespace platform
