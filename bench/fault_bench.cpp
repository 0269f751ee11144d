// tarnwick-faults: one discovery run through the main dialog off screen,
// against a tarnwick-devsim child on loopback, with one fault injected;
// then a second, healthy run that shows the window usable again.
//
// Prints one line of figures, "result fault=NAME key=value ...", and exits
// 0 when every figure holds, 1 when one falls short, 2 when the fault could
// not be set up, 3 when something did not return within its bound (a hang).
// The working directory may be prepared by the caller (--workdir), as a
// read-only folder or a small tmpfs; it must hold Config.xml then.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <linux/magic.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QWidget>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#include "app/tarnwick_dlg.h"
#include "bench/dialog_session.h"
#include "bench/simulator_child.h"
#include "devsim/fleet_xml.h"
#include "netsdk/discovery.h"
#include "netsdk/wire/header.h"
#include "platform/qt/qt_backend.h"
#include "res/resource_ids.h"
#include "sdk/field_text.h"

namespace {

constexpr const char kUsage[] =
    "usage: tarnwick-faults --fault NAME [--devices D] [--cameras C] [--window-ms N] [--workdir DIR]\n"
    "  NAME: sim-killed gone-mid-login garbage-flood read-only-dir full-tmpfs second-click close-at-end\n"
    "  D devices (default 1000), C of them cameras (default 400), SDK window N ms (default 3000);\n"
    "  DIR: the working directory, prepared by the caller (read-only-dir and full-tmpfs need one)\n";

enum class Fault { kSimKilled, kGoneMidLogin, kGarbageFlood, kReadOnlyDir, kFullTmpfs, kSecondClick, kCloseAtEnd };

constexpr std::pair<const char*, Fault> kFaults[] = {
    {"sim-killed", Fault::kSimKilled},       {"gone-mid-login", Fault::kGoneMidLogin},
    {"garbage-flood", Fault::kGarbageFlood}, {"read-only-dir", Fault::kReadOnlyDir},
    {"full-tmpfs", Fault::kFullTmpfs},       {"second-click", Fault::kSecondClick},
    {"close-at-end", Fault::kCloseAtEnd},
};

// Anything not back after this many windows is a hang.
constexpr int kHangWindows = 10;
// One camera in this many vanishes when its login starts.
constexpr int kGoneEvery = 10;
constexpr int kFloodPerSecond = 10000;

struct Options {
    Fault fault = Fault::kSimKilled;
    const char* name = nullptr;
    int devices = 1000;
    int cameras = 400;
    int windowMs = 3000;
    std::string workdir;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const char* value = argv[i + 1];
        if (std::strcmp(argv[i], "--fault") == 0) {
            for (const auto& [name, fault] : kFaults) {
                if (std::strcmp(name, value) == 0) {
                    o.name = name;
                    o.fault = fault;
                }
            }
            continue;
        }
        if (std::strcmp(argv[i], "--workdir") == 0) {
            o.workdir = value;
            continue;
        }
        int* target = std::strcmp(argv[i], "--devices") == 0     ? &o.devices
                      : std::strcmp(argv[i], "--cameras") == 0   ? &o.cameras
                      : std::strcmp(argv[i], "--window-ms") == 0 ? &o.windowMs
                                                                 : nullptr;
        char* end = nullptr;
        const long number = std::strtol(value, &end, 10);
        if (target == nullptr || *end != '\0' || number < 0 || number > 100000) return false;
        *target = static_cast<int>(number);
    }
    return argc % 2 == 1 && o.name != nullptr && o.devices > 0 && o.cameras <= o.devices && o.windowMs >= 100;
}

// Ends the process as a hang when an armed bound passes: a UI thread stuck
// in a join cannot notice that itself.
class Watchdog {
public:
    explicit Watchdog(const char* fault) : fault_(fault), thread_([this] { Loop(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void Arm(int ms, const char* what, pid_t simulator) {
        std::lock_guard lock(mutex_);
        deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        what_ = what;
        simulator_ = simulator;
        changed_.notify_all();
    }

private:
    void Loop() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (what_ == nullptr) {
                changed_.wait(lock);
                continue;
            }
            if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout &&
                std::chrono::steady_clock::now() >= deadline_) {
                std::printf("result fault=%s hang=1 stage=%s ok=0\n", fault_, what_);
                std::fflush(stdout);
                if (simulator_ > 0) kill(simulator_, SIGKILL);
                std::_Exit(3);
            }
        }
    }

    const char* fault_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::chrono::steady_clock::time_point deadline_;
    const char* what_ = nullptr;
    pid_t simulator_ = -1;
    bool stop_ = false;
    std::thread thread_;
};

// What every row of the list must show of its device.
struct ExpectedRow {
    std::string mac;
    std::string address;
};

std::map<std::string, ExpectedRow> ExpectedRows(const devsim::Fleet& fleet) {
    std::map<std::string, ExpectedRow> rows;
    for (const devsim::DeviceProfile& d : fleet.devices) {
        const auto& m = d.record.eth0.mac;
        char mac[18];
        std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", unsigned{m[0]}, unsigned{m[1]},
                      unsigned{m[2]}, unsigned{m[3]}, unsigned{m[4]}, unsigned{m[5]});
        rows[std::string(FieldText(d.record.sn))] = {mac, std::string(FieldText(d.record.eth0.ip))};
    }
    return rows;
}

// Rows that name a device of the fleet with its own MAC and address, each
// device once.
int ValidRows(CTarnwickDlg& dialog, const std::map<std::string, ExpectedRow>& expected) {
    QAbstractItemModel* model = bench::ListModel(dialog);
    std::set<std::string> seen;
    int valid = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        const std::string serial = model->index(row, 0).data().toString().toStdString();
        const auto it = expected.find(serial);
        if (it == expected.end() || !seen.insert(serial).second) continue;
        valid += model->index(row, 2).data().toString().toStdString() == it->second.mac &&
                 model->index(row, 3).data().toString().toStdString() == it->second.address;
    }
    return valid;
}

std::string FileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("\x01missing");
}

// Temporaries of Discovery.Xml left in the working directory.
int LeftTemporaries() {
    int left = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(".", error), end; !error && it != end; it.increment(error))
        left += it->path().filename().string().rfind(std::string(kDiscoveryFileName) + ".tmp-", 0) == 0;
    return left;
}

// Inodes of this process's UDP sockets bound to 127.0.0.1, by local port.
std::map<unsigned long, int> LoopbackUdpSockets() {
    std::set<unsigned long> own;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error)) {
        char link[64] = {};
        if (readlink(it->path().c_str(), link, sizeof link - 1) <= 0) continue;
        unsigned long inode = 0;
        if (std::sscanf(link, "socket:[%lu]", &inode) == 1) own.insert(inode);
    }
    std::map<unsigned long, int> sockets;
    std::ifstream table("/proc/self/net/udp");
    std::string line;
    std::getline(table, line);  // headings
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
        unsigned long inode = 0;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
        if (local.rfind("0100007F:", 0) != 0 || own.count(inode) == 0) continue;
        sockets[inode] = static_cast<int>(std::strtol(local.c_str() + 9, nullptr, 16));
    }
    return sockets;
}

// Sends datagrams that are not valid messages to the SDK's answer socket,
// at kFloodPerSecond, until asked to stop or `limitMs` passes: random bytes,
// our header with random fields, and our header followed by random bodies of
// every length. The socket is the one opened after `before` was taken.
class Flood {
public:
    Flood(std::map<unsigned long, int> before, int limitMs)
        : before_(std::move(before)), thread_([this, limitMs] { Run(limitMs); }) {}
    ~Flood() {
        stop_ = true;
        thread_.join();
    }
    long sent() const { return sent_.load(); }
    int port() const { return port_.load(); }
    double seconds() const { return seconds_.load(); }

private:
    void Run(int limitMs) {
        const auto start = std::chrono::steady_clock::now();
        const auto elapsedMs = [&] {
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        };
        while (!stop_ && port_ == 0 && elapsedMs() < 1000) {
            for (const auto& [inode, port] : LoopbackUdpSockets())
                if (before_.count(inode) == 0) port_ = port;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (port_ == 0 || fd < 0) {
            if (fd >= 0) ::close(fd);
            return;
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<std::uint16_t>(port_.load()));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::mt19937 random(std::random_device{}());
        std::uint8_t buffer[wire::kMaxDatagramSize + 64];
        const auto floodStart = std::chrono::steady_clock::now();
        const long limit = static_cast<long>(kFloodPerSecond) * limitMs / 1000;
        while (!stop_ && sent_ < limit) {
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - floodStart).count();
            if (ms > limitMs) break;
            // Catches up with the rate, then sleeps a millisecond.
            const long due = std::min(limit, static_cast<long>(ms * kFloodPerSecond / 1000.0));
            for (; sent_ < due; ++sent_) {
                const std::size_t size = Garbage(random, buffer, sizeof buffer);
                ::sendto(fd, buffer, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            }
            seconds_ = ms / 1000.0;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(fd);
    }

    static std::size_t Garbage(std::mt19937& random, std::uint8_t* buffer, std::size_t capacity) {
        const std::size_t size = 1 + random() % capacity;
        for (std::size_t i = 0; i < size; ++i) buffer[i] = static_cast<std::uint8_t>(random());
        const auto kind = random() % 3;
        if (kind > 0 && size >= wire::kHeaderSize) {
            std::memcpy(buffer, wire::kMagic, sizeof wire::kMagic);
            buffer[4] = wire::kVersion;
            // kind 2: the header's length field tells the truth, the body lies.
            if (kind == 2) {
                const std::uint32_t length = static_cast<std::uint32_t>(size - wire::kHeaderSize);
                for (int i = 0; i < 4; ++i) buffer[8 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
            }
        }
        return size;
    }

    std::map<unsigned long, int> before_;
    std::atomic<bool> stop_{false};
    std::atomic<long> sent_{0};
    std::atomic<int> port_{0};
    std::atomic<double> seconds_{0};
    std::thread thread_;
};

// The fleet of a case: cameras that vanish at their login, or that answer
// late in the window and refuse their first login, so that every camera
// worker is still busy (pausing before its second attempt) when the
// controls come back.
devsim::Fleet CaseFleet(const Options& o, int& gone) {
    devsim::Fleet fleet = bench::MixedFleet(o.devices, o.cameras);
    gone = 0;
    int camera = 0;
    for (devsim::DeviceProfile& device : fleet.devices) {
        if (device.sensorModel.empty()) continue;
        ++camera;
        if (o.fault == Fault::kGoneMidLogin && camera % kGoneEvery == 0) {
            device.behaviour.goneMidLogin = true;
            ++gone;
        }
        if (o.fault == Fault::kSecondClick || o.fault == Fault::kCloseAtEnd) {
            device.behaviour.answerDelayMs = o.windowMs * 5 / 6;
            device.behaviour.refuseLogins = 1;
        }
    }
    return fleet;
}

// Checks that the working directory is what the case needs.
bool WorkdirFits(const Options& o, std::string& why) {
    if (o.fault == Fault::kReadOnlyDir) {
        const int fd = ::open("write-probe", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            ::unlink("write-probe");
            why = "the working directory is writable";
            return false;
        }
    }
    if (o.fault == Fault::kFullTmpfs) {
        struct statfs fs{};
        if (::statfs(".", &fs) != 0 || fs.f_type != TMPFS_MAGIC ||
            static_cast<unsigned long long>(fs.f_blocks) * fs.f_bsize > 128 * 1024) {
            why = "the working directory is not a small tmpfs";
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if ((o.fault == Fault::kReadOnlyDir || o.fault == Fault::kFullTmpfs) && o.workdir.empty()) {
        std::fprintf(stderr, "tarnwick-faults: %s needs --workdir\n", o.name);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The fleet and the settings live apart from the working directory,
    // which the fault may make unwritable.
    const bench::ScratchDir scratch("tarnwick-faults");
    if (!scratch.ok()) return 2;
    const std::filesystem::path dir = scratch.path();
    std::error_code cdError;
    std::filesystem::current_path(o.workdir.empty() ? dir : std::filesystem::path(o.workdir), cdError);
    std::string why;
    if (cdError || !bench::InstallCatalogue() || !WorkdirFits(o, why)) {
        std::fprintf(stderr, "tarnwick-faults: %s\n", why.empty() ? "no usable working directory" : why.c_str());
        return 2;
    }
    int gone = 0;
    const devsim::Fleet fleet = CaseFleet(o, gone);
    std::string error;
    if (fleet.devices.empty() || !devsim::SaveFleetFile((dir / "fleet.xml").string(), fleet, error)) {
        std::fprintf(stderr, "tarnwick-faults: cannot set up the fleet %s\n", error.c_str());
        return 2;
    }
    SimulatorChild sim;
    if (!sim.Start((dir / "fleet.xml").string(), 19) ||
        !bench::PointSdkAt((dir / "netsdk.conf").string(), sim.port(), o.windowMs)) {
        std::fprintf(stderr, "tarnwick-faults: the simulator did not start\n");
        return 2;
    }
    const auto expected = ExpectedRows(fleet);
    const int bound = kHangWindows * o.windowMs;
    const std::string fileBefore = FileBytes(kDiscoveryFileName);

    QApplication app(argc, argv);
    platform::qt::QtBackend backend;
    platform::SetBackend(&backend);
    Watchdog watchdog(o.name);

    // Figures of the faulted run, and of the healthy run after it.
    struct Outcome {
        int rows = 0, valid = 0, nodes = -1, models = 0;
        int expectRows = 0, expectModels = 0;
        double usableMs = -1;
        int fileOk = 0;
    } faulted, after;
    long floodSent = 0;
    double floodSeconds = 0;
    int floodDropped = 0;  // datagrams the SDK's run refused
    int pendingWorkers = -1;
    bool ok = true;

    const auto openDialog = [&](CTarnwickDlg& dialog) {
        if (!dialog.Create()) std::_Exit(2);
        platform::qt::WidgetOf(dialog)->show();
        for (int id = IDC_TYPE_DVR; id <= IDC_TYPE_NVR; ++id) dialog.CheckDlgButton(id, platform::BST_CHECKED);
    };
    const auto watchOptions = [&](int cameras) {
        bench::WatchOptions watch;
        watch.devices = o.devices;
        watch.cameras = cameras;
        watch.hangMs = bound;
        watch.modelsMs = bound;
        return watch;
    };
    // Counts rows, nodes and models once the run's workers have ended.
    const auto settle = [&](CTarnwickDlg& dialog, Outcome& out, const bench::RunFigures& f) {
        watchdog.Arm(bound, "camera workers ending", sim.pid());
        if (!bench::WaitWorkersEnded(dialog, bound)) {
            std::printf("result fault=%s hang=1 stage=camera-workers ok=0\n", o.name);
            std::fflush(stdout);
            sim.Stop(SIGKILL);
            std::_Exit(3);
        }
        out.rows = bench::ListModel(dialog)->rowCount();
        out.valid = ValidRows(dialog, expected);
        out.nodes = f.nodes;
        out.models = bench::ResolvedCameraModels(dialog);
    };
    const auto hang = [&](const char* stage) {
        std::printf("result fault=%s hang=1 stage=%s ok=0\n", o.name, stage);
        std::fflush(stdout);
        sim.Stop(SIGKILL);
        std::_Exit(3);
    };

    {
        CTarnwickDlg dialog;
        openDialog(dialog);
        watchdog.Arm(bound + 2 * bound, "faulted run", sim.pid());
        bench::WatchOptions watch = watchOptions(o.cameras);
        faulted.expectRows = o.devices;
        faulted.expectModels = o.cameras;
        double faultAtMs = 0;
        std::unique_ptr<Flood> flood;
        bool closed = false;
        switch (o.fault) {
        case Fault::kSimKilled:
            // Killed as the first row shows: answers still arriving, the
            // first camera logins under way.
            watch.tick = [&](double ms) {
                if (faultAtMs == 0 && bench::ListModel(dialog)->rowCount() > 0) {
                    sim.Stop(SIGKILL);
                    faultAtMs = ms;
                }
            };
            watch.controlsBack = [](double) { return true; };
            break;
        case Fault::kGoneMidLogin:
            watch.cameras = faulted.expectModels = o.cameras - gone;
            break;
        case Fault::kGarbageFlood:
            // The SDK's answer socket is the one that the click adds to these.
            watch.tick = [&, before = LoopbackUdpSockets()](double) {
                if (!flood) flood = std::make_unique<Flood>(before, o.windowMs);
            };
            break;
        case Fault::kSecondClick:
            watch.controlsBack = [](double) { return true; };
            break;
        case Fault::kCloseAtEnd:
            watch.controlsBack = [&](double ms) {
                pendingWorkers = dialog.discovery.workerThreads.Running();
                QElapsedTimer closing;
                closing.start();
                watchdog.Arm(bound, "close", sim.pid());
                platform::qt::WidgetOf(dialog)->close();
                faulted.usableMs = static_cast<double>(closing.nsecsElapsed()) / 1e6;
                faultAtMs = ms;
                closed = true;
                return true;
            };
            break;
        case Fault::kReadOnlyDir:
        case Fault::kFullTmpfs:
            break;
        }
        bench::RunFigures f = bench::WatchRun(dialog, watch);
        if (flood) {
            floodSent = flood->sent();
            floodSeconds = flood->seconds();
            flood.reset();
            floodDropped = netsdk::LastDiscoveryStats().dropped;
        }
        if (f.controlsBackMs < 0) hang("faulted run");
        if (o.fault != Fault::kCloseAtEnd) faulted.usableMs = f.controlsBackMs - faultAtMs;

        if (o.fault == Fault::kSecondClick) {
            // The click comes while the first run's camera workers log in.
            pendingWorkers = dialog.discovery.workerThreads.Running();
            f = bench::WatchRun(dialog, watchOptions(o.cameras));
            if (f.controlsBackMs < 0) hang("second click");
            faulted.usableMs = f.controlsBackMs;
        }
        if (closed) {
            // The list goes with the window; its rows were counted by the watch.
            faulted.rows = f.rows;
            faulted.valid = f.rows;
            faulted.nodes = f.nodes;
            faulted.models = f.models;
            faulted.expectModels = f.models;  // workers were still logging in
        } else {
            settle(dialog, faulted, f);
        }
        if (o.fault == Fault::kSimKilled) {
            // Whatever arrived before the kill; no device twice, none made up.
            faulted.expectRows = faulted.rows;
            faulted.expectModels = faulted.models;
        }
        if (!closed) {
            watchdog.Arm(bound, "close", sim.pid());
            platform::qt::WidgetOf(dialog)->close();
        }
    }
    const int nodesNow = bench::NodesInFile(kDiscoveryFileName);
    switch (o.fault) {
    case Fault::kReadOnlyDir:
        faulted.fileOk = FileBytes(kDiscoveryFileName) == fileBefore;
        break;
    case Fault::kFullTmpfs:
        faulted.fileOk = nodesNow >= 0 && nodesNow < o.devices;
        break;
    default:
        faulted.fileOk = nodesNow == faulted.rows && faulted.nodes == faulted.rows;
        break;
    }
    const int temporariesAfterFault = LeftTemporaries();

    // The healthy run, in a fresh window (the closed one's successor).
    if (o.fault == Fault::kSimKilled &&
        (!sim.Start((dir / "fleet.xml").string(), 19) ||
         !bench::PointSdkAt((dir / "netsdk.conf").string(), sim.port(), o.windowMs))) {
        std::fprintf(stderr, "tarnwick-faults: the simulator did not start again\n");
        return 2;
    }
    {
        CTarnwickDlg dialog;
        openDialog(dialog);
        after.expectRows = o.devices - gone;  // a vanished device stays gone
        after.expectModels = o.cameras - gone;
        watchdog.Arm(3 * bound, "healthy run", sim.pid());
        const bench::RunFigures f = bench::WatchRun(dialog, watchOptions(after.expectModels));
        if (f.controlsBackMs < 0) hang("healthy run");
        after.usableMs = f.controlsBackMs;
        settle(dialog, after, f);
        watchdog.Arm(bound, "close", sim.pid());
        platform::qt::WidgetOf(dialog)->close();
    }
    const int nodesAfter = bench::NodesInFile(kDiscoveryFileName);
    after.fileOk = o.fault == Fault::kReadOnlyDir   ? FileBytes(kDiscoveryFileName) == fileBefore
                   : o.fault == Fault::kFullTmpfs ? nodesAfter >= 0
                                                  : nodesAfter == after.rows;
    const int temporaries = std::max(temporariesAfterFault, LeftTemporaries());
    watchdog.Arm(bound, "shutdown", sim.pid());

    const auto rowsHold = [](const Outcome& x) {
        return x.rows == x.expectRows && x.valid == x.rows && x.models == x.expectModels;
    };
    ok = rowsHold(faulted) && rowsHold(after) && faulted.fileOk && after.fileOk && temporaries == 0;
    // The rate reached is a figure the campaign prints; no datagram sent
    // at all means the answer socket was not found, and the case not run.
    if (o.fault == Fault::kGarbageFlood) ok = ok && floodSent > 0 && floodDropped > 0;
    if (o.fault == Fault::kSecondClick || o.fault == Fault::kCloseAtEnd) ok = ok && pendingWorkers > 0;
    std::printf("result fault=%s hang=0 rows=%d valid=%d expect_rows=%d nodes=%d models=%d expect_models=%d "
                "file_ok=%d usable_ms=%.0f after_rows=%d after_valid=%d after_models=%d after_file_ok=%d "
                "after_usable_ms=%.0f temporaries=%d",
                o.name, faulted.rows, faulted.valid, faulted.expectRows, faulted.nodes, faulted.models,
                faulted.expectModels, faulted.fileOk, faulted.usableMs, after.rows, after.valid, after.models,
                after.fileOk, after.usableMs, temporaries);
    if (o.fault == Fault::kGarbageFlood) std::printf(" flood_sent=%ld flood_s=%.2f sdk_dropped=%d", floodSent, floodSeconds, floodDropped);
    if (pendingWorkers >= 0) std::printf(" pending_workers=%d", pendingWorkers);
    std::printf(" ok=%d\n", ok ? 1 : 0);
    std::fflush(stdout);
    platform::SetBackend(nullptr);
    std::filesystem::current_path("/");
    return ok ? 0 : 1;
}
