#include "bench/dialog_session.h"

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ctime>

#include <QAbstractItemModel>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <tinyxml.h>

#include "app/tarnwick_dlg.h"
#include "devsim/fleet_generator.h"
#include "netsdk/settings_store.h"
#include "platform/qt/qt_backend.h"
#include "res/resource_ids.h"

namespace bench {
namespace {

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

bool IsCameraName(const QString& text) { return text.startsWith(QStringLiteral("Tarn Cam")); }

// A number from a "Name:   value" line of /proc/self/status.
long StatusField(const char* name) {
    std::ifstream status("/proc/self/status");
    const std::size_t length = std::strlen(name);
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':')
            return std::atol(line.c_str() + length + 1);
    }
    return -1;
}

}  // namespace

devsim::Fleet MixedFleet(int devices, int cameras) {
    devsim::GeneratorOptions options;
    options.count = devices;
    options.firstAddress = 0x7F2A0001u;  // 127.42.0.1
    options.controlPort = 8000;
    devsim::Fleet fleet = devsim::GenerateFleet(options);
    const auto isCamera = [](const devsim::DeviceProfile& d) { return std::strncmp(d.record.model, "IPC", 3) == 0; };
    const int made = static_cast<int>(std::count_if(fleet.devices.begin(), fleet.devices.end(), isCamera));
    if (made < cameras || cameras < 0) return {};
    // Camera i (from 1) becomes a recorder when i * surplus / made passes a
    // whole number: every fifth of 500 for 1000 devices and 400 cameras.
    const long surplus = made - cameras;
    long seen = 0;
    for (devsim::DeviceProfile& device : fleet.devices) {
        if (!isCamera(device)) continue;
        ++seen;
        if (seen * surplus / made == (seen - 1) * surplus / made) continue;
        std::memset(device.record.model, 0, sizeof device.record.model);
        std::strcpy(device.record.model, "NVR-0804");
        device.sensorModel.clear();
    }
    return fleet;
}

void AddOnvifCameras(devsim::Fleet& fleet, int count) {
    for (int i = 0; i < count; ++i) {
        devsim::OnvifProfile camera;
        char text[64];
        // The catalogue names serial prefix IC2A with sensor IMX291.
        std::snprintf(text, sizeof text, "IC2A9%07d", i);
        camera.serialNumber = text;
        camera.manufacturer = "Soak Optics";
        camera.model = "SO-2MP";
        camera.firmwareVersion = "2.1";
        camera.hardwareId = "IMX291";
        camera.user = "admin";
        camera.password = "tarnwick";
        std::snprintf(text, sizeof text, "127.43.%d.%d", i / 250, 1 + i % 250);
        camera.network.address = text;
        std::snprintf(text, sizeof text, "02:0f:00:00:%02x:%02x", (i >> 8) & 0xFF, i & 0xFF);
        camera.network.hwAddress = text;
        camera.gateway = "127.43.0.254";
        camera.httpPort = 0;
        camera.behaviour.digestOnly = i % 4 == 0;  // the other way of logging in
        fleet.onvifDevices.push_back(camera);
    }
}

ScratchDir::ScratchDir(const char* prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchDir::~ScratchDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

bool InstallCatalogue() {
    std::error_code error;
    std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "devsim/fleets/Config.xml", "Config.xml",
                               std::filesystem::copy_options::skip_existing, error);
    return std::filesystem::exists("Config.xml");
}

bool PointSdkAt(const std::string& file, int discoveryPort, int windowMs, int onvifPort) {
    {
        std::ofstream out(file);
        out << "targets = 127.0.0.1\ndiscovery_port = " << discoveryPort << "\nbind_address = 127.0.0.1\n";
        if (onvifPort > 0) out << "onvif = on\nonvif_port = " << onvifPort << "\n";
        else out << "onvif = off\n";
        out << "window_ms = " << windowMs << "\n";
        if (!out) return false;
    }
    setenv("TARNWICK_NETSDK_SETTINGS", file.c_str(), 1);
    netsdk::LoadSettings();
    return netsdk::CurrentSettings().discoveryPort == discoveryPort;
}

QPushButton* DiscoveryButton(CTarnwickDlg& dialog) {
    return qobject_cast<QPushButton*>(platform::qt::ControlOf(dialog, IDC_DISCOVERY));
}

QAbstractItemModel* ListModel(CTarnwickDlg& dialog) { return platform::qt::TableViewOf(dialog.deviceList)->model(); }

int NodesInFile(const char* path) {
    TiXmlDocument document;
    if (!document.LoadFile(path)) return -1;
    const TiXmlElement* tree = document.RootElement();
    if (tree == nullptr || std::strcmp(tree->Value(), "TREE") != 0) return -1;
    int nodes = 0;
    for (const TiXmlElement* node = tree->FirstChildElement(); node; node = node->NextSiblingElement()) ++nodes;
    return nodes;
}

int ResolvedCameraModels(CTarnwickDlg& dialog) {
    QAbstractItemModel* model = ListModel(dialog);
    int resolved = 0;
    for (int row = 0; row < model->rowCount(); ++row) resolved += IsCameraName(model->index(row, 1).data().toString());
    return resolved;
}

RunFigures WatchRun(CTarnwickDlg& dialog, const WatchOptions& options) {
    QAbstractItemModel* model = ListModel(dialog);
    QPushButton* discovery = DiscoveryButton(dialog);
    RunFigures f;
    QElapsedTimer clock;
    QEventLoop loop;
    const auto finishedIfDone = [&] {
        if (f.controlsBackMs >= 0 && f.models >= options.cameras) loop.quit();
    };
    std::vector<QMetaObject::Connection> connections;
    connections.push_back(QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
        f.rows = model->rowCount();
        if (f.rows == options.devices) f.lastRowMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }));
    connections.push_back(QObject::connect(
        model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& from, const QModelIndex& to) {
            if (from.column() > 1 || to.column() < 1) return;
            for (int row = from.row(); row <= to.row(); ++row) {
                if (!IsCameraName(model->index(row, 1).data().toString())) continue;
                if (++f.models == options.cameras) f.lastModelMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            }
            finishedIfDone();
        }));
    // A 1 ms tick watches the Discovery button, which comes back with the
    // other controls, and measures how long the event loop went unserved.
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QElapsedTimer sinceTick;
    double uiCpuAtTick = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        f.longestStallMs = std::max(f.longestStallMs, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        f.longestUiWorkMs = std::max(f.longestUiWorkMs, ThreadCpuMs() - uiCpuAtTick);
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (options.tick) options.tick(now);
        if (f.controlsBackMs < 0 && discovery->isEnabled()) {
            f.controlsBackMs = now;
            // The program's own reading of the file is not the dialog's stall.
            f.nodes = NodesInFile(kDiscoveryFileName);
            if (options.controlsBack && options.controlsBack(now)) loop.quit();
            QTimer::singleShot(options.modelsMs, &loop, &QEventLoop::quit);
            finishedIfDone();
        } else if (f.controlsBackMs < 0 && now > options.hangMs) {
            loop.quit();
        }
        sinceTick.restart();
        uiCpuAtTick = ThreadCpuMs();
    });

    const double cpuBefore = CpuSeconds();
    clock.start();
    discovery->click();
    sinceTick.start();
    uiCpuAtTick = ThreadCpuMs();
    tick.start(1);
    loop.exec();
    tick.stop();
    f.cpuSeconds = CpuSeconds() - cpuBefore;
    for (const auto& c : connections) QObject::disconnect(c);
    f.rows = model->rowCount();
    // The 1 ms tick itself is not a stall.
    f.longestStallMs = std::max(0.0, f.longestStallMs - 1.0);
    f.longestUiWorkMs = std::max(0.0, f.longestUiWorkMs);
    return f;
}

bool WaitWorkersEnded(CTarnwickDlg& dialog, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (dialog.discovery.workerThreads.Running() == 0 || clock.elapsed() > limitMs) loop.quit();
    });
    poll.start(5);
    loop.exec();
    return dialog.discovery.workerThreads.Running() == 0;
}

long ResidentKiB() { return StatusField("VmRSS"); }

int ThreadCount() { return static_cast<int>(StatusField("Threads")); }

int OpenDescriptors() {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++count;
    return count - 1;  // the iterator's own descriptor
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double Worst(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

}  // namespace bench
