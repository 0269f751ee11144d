// tarnwick-discovery-bench: the whole main dialog off screen against a
// tarnwick-devsim child holding 1000 devices, 400 of them cameras; 20
// Discovery clicks with every box ticked.
//
// Per run and as median and worst: rows delivered, nodes in Discovery.Xml
// when the controls came back, time from the click to the last row, to the
// last camera's model and to the controls coming back (also as a multiple
// of the SDK's window), the longest time the UI thread went without serving
// its event loop (and how much of it was the thread's own work rather than
// waiting for a processor), and CPU time; then the peak RSS. Exits non-zero
// when a target is missed.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ctime>

#include <QAbstractItemModel>
#include <QApplication>
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
#include <string>
#include <vector>

#include <tinyxml.h>

#include "app/tarnwick_dlg.h"
#include "bench/simulator_child.h"
#include "devsim/fleet_generator.h"
#include "devsim/fleet_xml.h"
#include "platform/qt/qt_backend.h"
#include "res/resource_ids.h"

namespace {

constexpr int kDevices = 1000;
constexpr int kCameras = 400;
constexpr int kRuns = 20;
constexpr int kWindowMs = 3000;

// 1000 generated devices; every fifth camera becomes a recorder, leaving 400.
devsim::Fleet BenchFleet() {
    devsim::GeneratorOptions options;
    options.count = kDevices;
    options.firstAddress = 0x7F2A0001u;  // 127.42.0.1
    options.controlPort = 8000;
    devsim::Fleet fleet = devsim::GenerateFleet(options);
    int cameras = 0;
    for (devsim::DeviceProfile& device : fleet.devices) {
        if (std::strncmp(device.record.model, "IPC", 3) != 0) continue;
        if (++cameras % 5 == 0) {
            std::memset(device.record.model, 0, sizeof device.record.model);
            std::strcpy(device.record.model, "NVR-0804");
            device.sensorModel.clear();
        }
    }
    return fleet;
}

int NodesInFile(const char* path) {
    TiXmlDocument document;
    if (!document.LoadFile(path)) return -1;
    int nodes = 0;
    for (const TiXmlElement* node = TiXmlHandle(&document).FirstChild("TREE").FirstChildElement().ToElement(); node;
         node = node->NextSiblingElement())
        ++nodes;
    return nodes;
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct RunFigures {
    int rows = 0;
    int nodes = 0;
    int models = 0;
    double lastRowMs = -1;
    double lastModelMs = -1;
    double controlsBackMs = -1;
    double longestStallMs = 0;     // wall clock between two turns of the event loop
    double longestUiWorkMs = 0;    // the UI thread's own processor time in that stretch
    double cpuSeconds = 0;
};

// Watches one run from the click until the controls are back and every
// camera has its name (or 60 s).
RunFigures Run(CTarnwickDlg& dialog) {
    QAbstractItemModel* model = platform::qt::TableViewOf(dialog.deviceList)->model();
    auto* discovery = qobject_cast<QPushButton*>(platform::qt::ControlOf(dialog, IDC_DISCOVERY));
    RunFigures f;
    QElapsedTimer clock;
    QEventLoop loop;
    const auto finishedIfDone = [&] {
        if (f.controlsBackMs >= 0 && f.models == kCameras) loop.quit();
    };
    std::vector<QMetaObject::Connection> connections;
    connections.push_back(QObject::connect(model, &QAbstractItemModel::rowsInserted, [&] {
        f.rows = model->rowCount();
        if (f.rows == kDevices) f.lastRowMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }));
    connections.push_back(QObject::connect(
        model, &QAbstractItemModel::dataChanged, [&](const QModelIndex& from, const QModelIndex& to) {
            if (from.column() > 1 || to.column() < 1) return;
            for (int row = from.row(); row <= to.row(); ++row) {
                if (!model->index(row, 1).data().toString().startsWith(QStringLiteral("Tarn Cam"))) continue;
                if (++f.models == kCameras) f.lastModelMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            }
            finishedIfDone();
        }));
    // The Discovery button comes back with the other controls.
    QTimer enabledWatch;
    enabledWatch.setTimerType(Qt::PreciseTimer);
    QElapsedTimer sinceTick;
    double uiCpuAtTick = 0;
    QObject::connect(&enabledWatch, &QTimer::timeout, [&] {
        f.longestStallMs = std::max(f.longestStallMs, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        f.longestUiWorkMs = std::max(f.longestUiWorkMs, ThreadCpuMs() - uiCpuAtTick);
        sinceTick.restart();
        uiCpuAtTick = ThreadCpuMs();
        if (f.controlsBackMs < 0 && discovery->isEnabled()) {
            f.controlsBackMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            // The bench's own reading of the file is not the program's stall.
            f.nodes = NodesInFile("Discovery.Xml");
            sinceTick.restart();
            uiCpuAtTick = ThreadCpuMs();
            finishedIfDone();
        }
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);

    const double cpuBefore = CpuSeconds();
    clock.start();
    discovery->click();
    sinceTick.start();
    uiCpuAtTick = ThreadCpuMs();
    enabledWatch.start(1);
    loop.exec();
    enabledWatch.stop();
    f.cpuSeconds = CpuSeconds() - cpuBefore;
    for (const auto& c : connections) QObject::disconnect(c);
    // The 1 ms tick itself is not a stall.
    f.longestStallMs = std::max(0.0, f.longestStallMs - 1.0);
    f.longestUiWorkMs = std::max(0.0, f.longestUiWorkMs);
    return f;
}

// Time the hypervisor gave this machine's processors to others, in ms
// (the steal column of /proc/stat): a stall it causes is not the program's.
double StolenMs() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    return static_cast<double>(steal) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
double Worst(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    char dirTemplate[] = "/tmp/tarnwick-discovery-bench-XXXXXX";
    if (mkdtemp(dirTemplate) == nullptr) return 1;
    const std::filesystem::path dir = dirTemplate;
    std::filesystem::current_path(dir);
    std::filesystem::copy_file(std::filesystem::path(TARNWICK_SOURCE_DIR) / "devsim/fleets/Config.xml", "Config.xml");

    std::string error;
    if (!devsim::SaveFleetFile((dir / "fleet.xml").string(), BenchFleet(), error)) {
        std::fprintf(stderr, "tarnwick-discovery-bench: %s\n", error.c_str());
        return 1;
    }
    SimulatorChild sim;
    if (!sim.Start((dir / "fleet.xml").string(), 19)) {
        std::fprintf(stderr, "tarnwick-discovery-bench: the simulator did not start\n");
        return 1;
    }
    // The SDK is confined to the simulator on loopback.
    std::ofstream(dir / "netsdk.conf") << "targets = 127.0.0.1\ndiscovery_port = " << sim.port()
                                       << "\nbind_address = 127.0.0.1\nonvif = off\nwindow_ms = " << kWindowMs << "\n";
    setenv("TARNWICK_NETSDK_SETTINGS", (dir / "netsdk.conf").c_str(), 1);

    QApplication app(argc, argv);
    platform::qt::QtBackend backend;
    platform::SetBackend(&backend);
    bool ok = true;
    {
        CTarnwickDlg dialog;
        if (!dialog.Create()) return 1;
        platform::qt::WidgetOf(dialog)->show();
        for (int id = IDC_TYPE_DVR; id <= IDC_TYPE_NVR; ++id) dialog.CheckDlgButton(id, platform::BST_CHECKED);

        std::printf("%d devices (%d cameras), SDK window %d ms, %d runs\n", kDevices, kCameras, kWindowMs, kRuns);
        std::printf("%4s %6s %6s %7s %9s %9s %9s %9s %9s %8s\n", "run", "rows", "nodes", "models", "lastrow",
                    "lastmodel", "controls", "uistall", "uiwork", "cpu");
        std::vector<double> lastRow, lastModel, controls, stalls, uiWork, cpu;
        int complete = 0;
        const double stolenBefore = StolenMs();
        for (int i = 1; i <= kRuns; ++i) {
            const RunFigures f = Run(dialog);
            std::printf("%4d %6d %6d %7d %7.0fms %7.0fms %7.0fms %7.1fms %7.1fms %7.2fs\n", i, f.rows, f.nodes,
                        f.models, f.lastRowMs, f.lastModelMs, f.controlsBackMs, f.longestStallMs, f.longestUiWorkMs,
                        f.cpuSeconds);
            complete += f.rows == kDevices && f.nodes == kDevices && f.models == kCameras;
            lastRow.push_back(f.lastRowMs);
            lastModel.push_back(f.lastModelMs);
            controls.push_back(f.controlsBackMs);
            stalls.push_back(f.longestStallMs);
            uiWork.push_back(f.longestUiWorkMs);
            cpu.push_back(f.cpuSeconds);
        }
        const auto line = [](const char* name, const std::vector<double>& v, bool window) {
            std::printf("%-28s median %8.1f ms", name, Median(v));
            if (window) std::printf(" (%.3f x window)", Median(v) / kWindowMs);
            std::printf("   worst %8.1f ms", Worst(v));
            if (window) std::printf(" (%.3f x window)", Worst(v) / kWindowMs);
            std::printf("\n");
        };
        std::printf("\n");
        line("click to last row", lastRow, true);
        line("click to last camera model", lastModel, true);
        line("click to controls back", controls, true);
        line("longest UI-thread stall", stalls, false);
        line("  of which its own work", uiWork, false);
        std::printf("%-28s median %8.2f s    worst %8.2f s\n", "CPU time per run", Median(cpu), Worst(cpu));
        std::printf("%-28s %.0f ms over all runs\n", "CPU stolen by the host", StolenMs() - stolenBefore);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
        std::printf("%-28s %.1f MB\n", "peak RSS (ru_maxrss)", peakMb);

        const auto target = [&](const char* name, bool met) {
            std::printf("target %-48s %s\n", name, met ? "met" : "MISSED");
            ok = ok && met;
        };
        std::printf("\n");
        target("1000 of 1000 rows, nodes and 400 models, every run", complete == kRuns);
        target("last row within 1.1 x window", Worst(lastRow) >= 0 && Worst(lastRow) <= 1.1 * kWindowMs);
        target("last model within 1.1 x window", Worst(lastModel) >= 0 && Worst(lastModel) <= 1.1 * kWindowMs);
        target("UI thread never blocked for more than 16 ms", Worst(stalls) <= 16.0);
        target("peak RSS at most 80 MB", peakMb <= 80.0);

        platform::qt::WidgetOf(dialog)->close();
    }
    platform::SetBackend(nullptr);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
