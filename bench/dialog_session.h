// What the programs that drive the main dialog off screen against a
// tarnwick-devsim child share: the fleet, the scratch folder and the SDK's
// settings, one watched Discovery click, and the process's own figures.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "devsim/fleet.h"

class CTarnwickDlg;
class QAbstractItemModel;
class QPushButton;

namespace bench {

// `devices` generated devices on 127.42.x.y (control port 8000), of which
// exactly `cameras` stay cameras: the surplus, spread evenly, becomes
// recorders without a sensor model. Empty when the generator makes fewer
// cameras than asked for.
devsim::Fleet MixedFleet(int devices, int cameras);

// Adds `count` ONVIF cameras on 127.43.x.y (free HTTP ports, admin /
// tarnwick, every fourth by HTTP Digest only) whose serial and hardware id
// the sample catalogue names.
void AddOnvifCameras(devsim::Fleet& fleet, int count);

// A fresh folder under $TMPDIR (or /tmp), removed with what it holds on destruction.
class ScratchDir {
public:
    explicit ScratchDir(const char* prefix);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Copies the sample catalogue to Config.xml in the working directory,
// which the dialog reads its camera names from; true if it is there.
bool InstallCatalogue();

// Confines the SDK to a simulator on loopback: writes `file` and points
// TARNWICK_NETSDK_SETTINGS at it (read when the dialog starts), and
// applies the same settings to the SDK in force. ONVIF probes go to the
// simulator's WS-Discovery port when `onvifPort` is given, else ONVIF is off.
bool PointSdkAt(const std::string& file, int discoveryPort, int windowMs, int onvifPort = 0);

// The Discovery button and the list's model of an open dialog.
QPushButton* DiscoveryButton(CTarnwickDlg& dialog);
QAbstractItemModel* ListModel(CTarnwickDlg& dialog);

// The count of "Node" elements under "TREE" in `path`; -1 when the file is
// missing or does not parse.
int NodesInFile(const char* path);
// Rows whose model column shows a name from the catalogue's cameras.
int ResolvedCameraModels(CTarnwickDlg& dialog);

struct RunFigures {
    int rows = 0;
    int nodes = -1;
    int models = 0;
    double lastRowMs = -1;
    double lastModelMs = -1;
    double controlsBackMs = -1;  // -1: not back within the bound (a hang)
    double longestStallMs = 0;   // wall clock between two turns of the event loop
    double longestUiWorkMs = 0;  // the UI thread's own processor time in that stretch
    double cpuSeconds = 0;
};

struct WatchOptions {
    int devices = 1000;
    int cameras = 400;
    // Controls not back this long after the click make the run a hang.
    int hangMs = 30000;
    // How long after the controls came back the camera models may take.
    int modelsMs = 30000;
    // Called on every turn of the event loop with the time since the click.
    std::function<void(double)> tick;
    // Called once, when the controls come back; true ends the watch at once.
    std::function<bool(double)> controlsBack;
};

// Clicks Discovery and serves the event loop until the controls are back
// and `cameras` models are shown, or a bound passes.
RunFigures WatchRun(CTarnwickDlg& dialog, const WatchOptions& options);

// Waits, serving the event loop, until every camera worker of the dialog
// has ended; false after `limitMs`.
bool WaitWorkersEnded(CTarnwickDlg& dialog, int limitMs);

// The process's own figures from /proc/self.
long ResidentKiB();
int OpenDescriptors();
int ThreadCount();
double CpuSeconds();

double Median(std::vector<double> values);
double Worst(const std::vector<double>& values);

}  // namespace bench
