// tarnwick-soak: many consecutive Discovery clicks through the main dialog
// off screen, against a tarnwick-devsim child on loopback, every type box
// ticked; some of the cameras are ONVIF devices, so both transports and
// every way of logging in (ours, UsernameToken, HTTP Digest) run each time.
//
// Per run: rows, nodes in Discovery.Xml when the controls came back, camera
// models shown and the time from the click to the controls coming back;
// the RSS after every tenth run (every run when there are fewer than 20).
// In summary: those times as median and worst, whether the RSS stayed
// flat, open descriptors and threads idle before the first run and after
// the last, and hangs. Exits non-zero when a figure falls short.
#include <stdlib.h>

#include <QApplication>
#include <QWidget>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/tarnwick_dlg.h"
#include "bench/dialog_session.h"
#include "bench/simulator_child.h"
#include "devsim/fleet_xml.h"
#include "platform/qt/qt_backend.h"
#include "res/resource_ids.h"

namespace {

constexpr const char kUsage[] =
    "usage: tarnwick-soak [--runs N] [--devices D] [--cameras C] [--onvif K] [--window-ms N]\n"
    "  N consecutive discovery runs (default 100) of D simulated devices (default 1000),\n"
    "  C of them cameras (default 400), K of those ONVIF cameras (default 100), with the\n"
    "  SDK's window of N ms (default 3000)\n";

// A run whose controls are not back after this many windows is a hang.
constexpr int kHangWindows = 10;
// The RSS counts as flat when the last sample is within this share of the
// baseline: the 10th run in a long soak; in a short one, sampled every run,
// the highest sample of its first half, since those runs still grow the
// allocator's per-thread arenas that the camera workers and ONVIF readers
// touch, up and down.
constexpr double kRssSlack = 0.05;
// After the last run the threads may exceed the idle count by one: the
// writer thread of Discovery.Xml, which the first save starts and which
// stays until the dialog ends. Descriptors must be back exactly.
constexpr int kThreadSlack = 1;
constexpr int kDescriptorSlack = 0;

struct Options {
    int runs = 100;
    int devices = 1000;
    int cameras = 400;
    int onvif = 100;
    int windowMs = 3000;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        int* target = nullptr;
        if (std::strcmp(argv[i], "--runs") == 0) target = &o.runs;
        else if (std::strcmp(argv[i], "--devices") == 0) target = &o.devices;
        else if (std::strcmp(argv[i], "--cameras") == 0) target = &o.cameras;
        else if (std::strcmp(argv[i], "--onvif") == 0) target = &o.onvif;
        else if (std::strcmp(argv[i], "--window-ms") == 0) target = &o.windowMs;
        if (target == nullptr || i + 1 >= argc) return false;
        char* end = nullptr;
        const long value = std::strtol(argv[++i], &end, 10);
        if (*end != '\0' || value < 0 || value > 100000) return false;
        *target = static_cast<int>(value);
    }
    // ONVIF addresses are 127.43.x.y with x below 256.
    return o.runs > 0 && o.devices > o.onvif && o.cameras <= o.devices && o.onvif <= o.cameras &&
           o.onvif <= 60000 && o.windowMs >= 100;
}

// Serves the event loop until `done` holds or `limitMs` passes.
bool ServeUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > limitMs) loop.quit();
    });
    poll.start(10);
    loop.exec();
    return done();
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const bench::ScratchDir scratch("tarnwick-soak");
    if (!scratch.ok()) return 2;
    const std::filesystem::path dir = scratch.path();
    std::filesystem::current_path(dir);
    devsim::Fleet fleet = bench::MixedFleet(o.devices - o.onvif, o.cameras - o.onvif);
    bench::AddOnvifCameras(fleet, o.onvif);
    std::string error;
    if (!bench::InstallCatalogue() || fleet.devices.empty() ||
        !devsim::SaveFleetFile((dir / "fleet.xml").string(), fleet, error)) {
        std::fprintf(stderr, "tarnwick-soak: cannot set up the fleet %s\n", error.c_str());
        return 2;
    }
    SimulatorChild sim;
    if (!sim.Start((dir / "fleet.xml").string(), 19) ||
        (o.onvif > 0 && sim.onvifPort() == 0) ||
        !bench::PointSdkAt((dir / "netsdk.conf").string(), sim.port(), o.windowMs, sim.onvifPort())) {
        std::fprintf(stderr, "tarnwick-soak: the simulator did not start\n");
        return 2;
    }

    QApplication app(argc, argv);
    platform::qt::QtBackend backend;
    platform::SetBackend(&backend);
    bool ok = true;
    {
        CTarnwickDlg dialog;
        if (!dialog.Create()) return 2;
        platform::qt::WidgetOf(dialog)->show();
        for (int id = IDC_TYPE_DVR; id <= IDC_TYPE_NVR; ++id) dialog.CheckDlgButton(id, platform::BST_CHECKED);
        // The window has settled once its first events are served.
        ServeUntil([] { return false; }, 200);
        const int idleDescriptors = bench::OpenDescriptors();
        const int idleThreads = bench::ThreadCount();

        const int rssStep = o.runs >= 20 ? 10 : 1;
        std::printf("%d runs of %d devices (%d cameras, %d of them ONVIF), SDK window %d ms, RSS every %d run(s)\n",
                    o.runs, o.devices, o.cameras, o.onvif, o.windowMs, rssStep);
        std::printf("%4s %6s %6s %7s %10s %10s\n", "run", "rows", "nodes", "models", "controls", "rss");
        std::vector<double> controls;
        std::vector<long> rss;
        int complete = 0, modelsShort = 0, hangs = 0, runsDone = 0;
        for (int run = 1; run <= o.runs; ++run) {
            bench::WatchOptions watch;
            watch.devices = o.devices;
            watch.cameras = o.cameras;
            watch.hangMs = kHangWindows * o.windowMs;
            watch.modelsMs = kHangWindows * o.windowMs;
            const bench::RunFigures f = bench::WatchRun(dialog, watch);
            ++runsDone;
            const int models = bench::ResolvedCameraModels(dialog);
            std::printf("%4d %6d %6d %7d %8.0fms", run, f.rows, f.nodes, models, f.controlsBackMs);
            if (f.controlsBackMs < 0) {
                std::printf("   HANG: controls not back after %d ms\n", watch.hangMs);
                ++hangs;
                break;
            }
            if (run % rssStep == 0) {
                rss.push_back(bench::ResidentKiB());
                std::printf(" %8ldKiB", rss.back());
            }
            std::printf("\n");
            std::fflush(stdout);
            controls.push_back(f.controlsBackMs);
            complete += f.rows == o.devices && f.nodes == o.devices;
            modelsShort += models != o.cameras;
        }

        // Idle again: every camera worker has returned and its thread is gone.
        const bool workersEnded = hangs == 0 && bench::WaitWorkersEnded(dialog, kHangWindows * o.windowMs);
        const auto backToIdle = [&] {
            return bench::ThreadCount() <= idleThreads + kThreadSlack &&
                   bench::OpenDescriptors() <= idleDescriptors + kDescriptorSlack;
        };
        if (workersEnded) ServeUntil(backToIdle, 5000);
        const int endDescriptors = bench::OpenDescriptors();
        const int endThreads = bench::ThreadCount();

        std::printf("\n%-34s %s\n", "figure", "value");
        std::printf("%-34s %d of %d\n", "runs with every row and node", complete, runsDone);
        std::printf("%-34s %d of %d\n", "runs with every camera model", runsDone - modelsShort, runsDone);
        std::printf("%-34s median %.0f ms, worst %.0f ms (window %d ms)\n", "click to controls back",
                    bench::Median(controls), bench::Worst(controls), o.windowMs);
        std::size_t baseline = 0;
        if (rssStep == 1 && !rss.empty()) {
            const auto warmUpEnd = rss.begin() + static_cast<std::ptrdiff_t>((rss.size() - 1) / 2 + 1);
            baseline = static_cast<std::size_t>(std::max_element(rss.begin(), warmUpEnd) - rss.begin());
        }
        const double rssBase = rss.empty() ? 0 : static_cast<double>(rss[baseline]);
        if (!rss.empty()) {
            std::printf("%-34s run %zu %ld KiB, last %ld KiB (%+.1f %%)\n", "RSS (VmRSS), baseline and last",
                        (baseline + 1) * static_cast<std::size_t>(rssStep), rss[baseline], rss.back(),
                        100.0 * (static_cast<double>(rss.back()) - rssBase) / rssBase);
        }
        std::printf("%-34s idle %d, after the last run %d\n", "open descriptors", idleDescriptors, endDescriptors);
        std::printf("%-34s idle %d, after the last run %d\n", "threads", idleThreads, endThreads);
        std::printf("%-34s %d\n", "hangs", hangs);

        const auto target = [&](const char* name, bool met) {
            std::printf("target %-52s %s\n", name, met ? "met" : "MISSED");
            ok = ok && met;
        };
        std::printf("\n");
        target("no hang", hangs == 0);
        target("every run: rows and nodes equal the devices", complete == o.runs);
        target("every run: every camera model resolved", hangs == 0 && modelsShort == 0);
        target("RSS flat: last sample within 5 % of the baseline",
               !rss.empty() && static_cast<double>(rss.back()) <= rssBase * (1 + kRssSlack));
        target("camera workers all ended after the last run", workersEnded);
        target("descriptors back to idle", endDescriptors <= idleDescriptors + kDescriptorSlack);
        target("threads back to idle (+1: the file's writer)", endThreads <= idleThreads + kThreadSlack);
        std::fflush(stdout);

        // A hung run cannot be waited for: the process leaves as it is.
        if (hangs != 0) {
            sim.Stop(SIGKILL);
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
            std::_Exit(1);
        }
        platform::qt::WidgetOf(dialog)->close();
    }
    platform::SetBackend(nullptr);
    std::filesystem::current_path("/");
    return ok ? 0 : 1;
}
