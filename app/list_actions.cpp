#include "app/list_actions.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "listing/row_formats.h"
#include "netsdk/net/socket_io.h"
#include "platform/backend.h"
#include "platform/dialog.h"
#include "platform/list_view.h"

namespace {

// Columns of the list, as the templates place them.
constexpr int kAddressColumn = 3;
constexpr int kHttpPortColumn = 7;

std::string CellText(const platform::ListView& list, int item, int column) {
    char buffer[512];
    const int length = list.GetItemText(item, column, buffer, sizeof buffer);
    return std::string(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
}

listing::Row RowOf(const platform::ListView& list, int item) {
    listing::Row row;
    for (int column = 0; column < list.ColumnCount(); ++column) row.push_back(CellText(list, item, column));
    return row;
}

listing::Row Headings(const platform::ListView& list) {
    listing::Row row;
    for (int column = 0; column < list.ColumnCount(); ++column) {
        char buffer[256];
        const int length = list.GetColumnHeading(column, buffer, sizeof buffer);
        row.emplace_back(buffer, static_cast<std::size_t>(length > 0 ? length : 0));
    }
    return row;
}

// Writes `bytes` to `path`, created private to the user; false with errno.
bool WriteWhole(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            const int saved = errno;
            close(fd);
            errno = saved;
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return close(fd) == 0;
}

}  // namespace

void CopySelectedRows(platform::ListView& list) {
    std::vector<listing::Row> rows;
    for (int item = list.GetNextSelectedItem(-1); item >= 0; item = list.GetNextSelectedItem(item))
        rows.push_back(RowOf(list, item));
    if (rows.empty()) return;
    if (platform::Backend* backend = platform::GetBackend()) backend->SetClipboardText(listing::Tsv(rows));
}

std::string BrowserUrlOf(const platform::ListView& list, int item) {
    if (item < 0 || item >= list.GetItemCount()) return {};
    const std::string address = CellText(list, item, kAddressColumn);
    const std::string port = CellText(list, item, kHttpPortColumn);
    std::uint32_t ip = 0;
    unsigned number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (!netsdk::net::ParseIPv4(address.c_str(), ip) || ip == 0 || error != std::errc() ||
        end != port.data() + port.size() || number == 0 || number > 65535) {
        return {};
    }
    return "http://" + address + ":" + port + "/";
}

void OpenInBrowser(platform::ListView& list, int item) {
    const std::string url = BrowserUrlOf(list, item);
    if (url.empty()) return;
    if (platform::Backend* backend = platform::GetBackend()) backend->OpenUrl(url);
}

void ExportListToCsv(platform::Dialog& owner, platform::ListView& list) {
    platform::Backend* backend = platform::GetBackend();
    if (backend == nullptr) return;
    const std::string path = backend->AskSaveFileName(owner, "Export List", "devices.csv", "CSV files (*.csv)");
    if (path.empty()) return;
    std::vector<listing::Row> rows;
    for (int item = 0; item < list.GetItemCount(); ++item) rows.push_back(RowOf(list, item));
    if (!WriteWhole(path, listing::Csv(Headings(list), rows))) {
        owner.MessageBox("The list could not be written to " + path + ": " + std::strerror(errno), "Export List", 0);
    }
}

void AddListActions(platform::Dialog& owner, platform::ListView& list) {
    list.SetCopyAction([&list] { CopySelectedRows(list); });
    list.SetRowMenu({
        {"&Open in Browser", [&list](int item) { return !BrowserUrlOf(list, item).empty(); },
         [&list](int item) { OpenInBrowser(list, item); }},
        {"&Export List to CSV...", [&list](int) { return list.GetItemCount() > 0; },
         [&owner, &list](int) { ExportListToCsv(owner, list); }},
    });
}
