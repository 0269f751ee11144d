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

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/tarnwick_dlg.h"
#include "bench/dialog_session.h"
#include "bench/simulator_child.h"
#include "devsim/fleet_xml.h"
#include "platform/qt/qt_backend.h"
#include "res/resource_ids.h"

namespace {

using bench::Median;
using bench::RunFigures;
using bench::Worst;

constexpr int kDevices = 1000;
constexpr int kCameras = 400;
constexpr int kRuns = 20;
constexpr int kWindowMs = 3000;

// Time the hypervisor gave this machine's processors to others, in ms
// (the steal column of /proc/stat): a stall it causes is not the program's.
double StolenMs() {
    std::ifstream stat("/proc/stat");
    std::string cpu;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    return static_cast<double>(steal) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const bench::ScratchDir scratch("tarnwick-discovery-bench");
    if (!scratch.ok()) return 1;
    const std::filesystem::path dir = scratch.path();
    std::filesystem::current_path(dir);
    if (!bench::InstallCatalogue()) return 1;

    std::string error;
    if (!devsim::SaveFleetFile((dir / "fleet.xml").string(), bench::MixedFleet(kDevices, kCameras), error)) {
        std::fprintf(stderr, "tarnwick-discovery-bench: %s\n", error.c_str());
        return 1;
    }
    SimulatorChild sim;
    if (!sim.Start((dir / "fleet.xml").string(), 19)) {
        std::fprintf(stderr, "tarnwick-discovery-bench: the simulator did not start\n");
        return 1;
    }
    // The SDK is confined to the simulator on loopback.
    if (!bench::PointSdkAt((dir / "netsdk.conf").string(), sim.port(), kWindowMs)) return 1;

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
            bench::WatchOptions watch;
            watch.devices = kDevices;
            watch.cameras = kCameras;
            watch.hangMs = 60000;
            const RunFigures f = bench::WatchRun(dialog, watch);
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
    return ok ? 0 : 1;
}
