// What the device list offers besides its rows: copying the selected rows,
// opening a device's web page, exporting the whole list. Only the texts the
// list shows are used, so no password ever leaves through them.
#pragma once

#include <string>

namespace platform {
class Dialog;
class ListView;
}  // namespace platform

// The selected rows as tab-separated text, the columns as shown, onto the
// clipboard. Nothing happens when no row is selected.
void CopySelectedRows(platform::ListView& list);

// http://address:HttpPort/ of row `item`, or empty when its address or
// port is not usable.
std::string BrowserUrlOf(const platform::ListView& list, int item);
void OpenInBrowser(platform::ListView& list, int item);

// Asks where to save, then writes the headings and every row as CSV. Says
// in a message box when the file cannot be written.
void ExportListToCsv(platform::Dialog& owner, platform::ListView& list);

// Puts the three actions on `list`.
void AddListActions(platform::Dialog& owner, platform::ListView& list);
