#include "cli/discover_command.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "cli/catalogue_file.h"
#include "cli/device_discovery.h"
#include "cli/exit_codes.h"
#include "discovery/device_class.h"
#include "discovery/device_model.h"
#include "discovery/discovery_callback.h"
#include "res/list_columns.h"

namespace {

// Camera logins at once. Each login waits on the network, so a dead camera
// (up to 17 s) holds only its own thread.
constexpr std::size_t kCameraThreads = 32;

bool IsCamera(const DeviceRecord& record) {
    for (const DeviceClass& deviceClass : kDeviceClasses)
        if (IsOfClass(record, deviceClass)) return deviceClass.camera;
    return false;
}

// Fills the Model column of every camera row, several cameras at a time.
void NameCameras(const std::vector<DeviceRecord>& records, const ModelCatalogue& catalogue,
                 std::vector<listing::Row>& rows) {
    std::vector<std::size_t> cameras;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (IsCamera(records[i])) cameras.push_back(i);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        const LoginPause sleep = [](std::chrono::milliseconds pause) {
            std::this_thread::sleep_for(pause);
            return true;
        };
        for (std::size_t k = next++; k < cameras.size(); k = next++) {
            const std::size_t i = cameras[k];
            ResolveCameraModel(LinkedDiscoverySdk(), catalogue, records[i], sleep, rows[i][1]);
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < std::min(kCameraThreads, cameras.size()); ++t) threads.emplace_back(work);
    for (std::thread& thread : threads) thread.join();
}

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

listing::Row DeviceListHeader() {
    listing::Row header;
    for (const ListColumn& column : kDeviceListColumns) header.emplace_back(column.heading);
    return header;
}

std::vector<listing::Row> DeviceRows(const std::vector<DeviceRecord>& records, const ModelCatalogue& catalogue,
                                     bool cameraModels) {
    std::vector<listing::Row> rows;
    for (const DeviceRecord& record : records) {
        const std::string model = IsCamera(record) ? std::string() : RecorderModelText(catalogue, record);
        const DeviceRowTexts texts = DeviceRowTextsOf(record, model.c_str());
        rows.emplace_back(texts.begin(), texts.end());
    }
    if (cameraModels) NameCameras(records, catalogue, rows);
    return rows;
}

int RunDiscover(const DiscoverOptions& options) {
    ModelCatalogue catalogue;
    if (LoadCatalogueFile(catalogue) == CatalogueLoad::kUnusable) return kExitError;
    std::vector<DeviceRecord> records;
    if (!DiscoverDevices(options.classes, records)) {
        std::fprintf(stderr, "tarnwick-cli: the device SDK could not run a discovery\n");
        return kExitError;
    }
    const std::vector<listing::Row> rows = DeviceRows(records, catalogue, options.cameraModels);
    const listing::Row header = DeviceListHeader();
    switch (options.format) {
        case OutputFormat::kTable: Print(listing::Table(header, rows)); break;
        case OutputFormat::kJson: Print(listing::Json(header, rows)); break;
        case OutputFormat::kCsv: Print(listing::Csv(header, rows)); break;
    }
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "tarnwick-cli: could not write the list\n");
        return kExitError;
    }
    if (rows.empty()) {
        std::fprintf(stderr, "tarnwick-cli: no device answered\n");
        return kExitNoDevice;
    }
    return kExitOk;
}
