#include "app/tarnwick_dlg.h"

#include <cstring>

#include "app/about_dlg.h"
#include "app/list_actions.h"
#include "config/interface_texts.h"
#include "modify/modify_action.h"
#include "res/list_columns.h"
#include "res/resources.h"

using namespace platform;

std::atomic<CTarnwickDlg*> mainDialog{nullptr};

namespace {

constexpr const char* kIconFile = "res//Tarnwick.ico";
constexpr ColorRef kListBackground = 0x00FFF7F7;  // red 247, green 247, blue 255
constexpr ColorRef kListText = 0x00FF0000;        // pure blue

}  // namespace

CTarnwickDlg::CTarnwickDlg()
    : Dialog(*FindDialogTemplate(IDD_TARNWICK_DIALOG)), appIcon(LoadIconResource(IDI_PROGRAM)) {}

CTarnwickDlg::~CTarnwickDlg() { TakeDown(); }

void CTarnwickDlg::DoDataExchange() { deviceList = GetListView(IDC_DEVICE_LIST); }

std::vector<MessageMapEntry> CTarnwickDlg::MessageMap() {
    return {
        {WM_SYSCOMMAND, 0, 0,
         [this](std::uintptr_t id, std::intptr_t param) {
             OnSysCommand(static_cast<unsigned>(id), param);
             return std::intptr_t{0};
         }},
        {WM_COMMAND, BN_CLICKED, IDC_DISCOVERY,
         [this](std::uintptr_t, std::intptr_t) {
             OnDiscoveryClicked();
             return std::intptr_t{0};
         }},
        {WM_COMMAND, BN_CLICKED, IDC_MODIFY,
         [this](std::uintptr_t, std::intptr_t) {
             if (ready) OnModifyClicked(*this, modifyRecord, UiTexts);
             return std::intptr_t{0};
         }},
        {WM_DISCOVERY_DONE, 0, 0,
         [this](std::uintptr_t, std::intptr_t) {
             OnDiscoveryDone();
             return std::intptr_t{0};
         }},
        {WM_CLOSE, 0, 0,
         [this](std::uintptr_t, std::intptr_t) {
             OnClose();
             return std::intptr_t{0};
         }},
        {WM_NOTIFY, LVN_ITEMCHANGED, IDC_DEVICE_LIST,
         [this](std::uintptr_t, std::intptr_t) {
             if (ready) LoadNodeIntoModifyRecord(DiscoveryLog, *this, modifyRecord);
             return std::intptr_t{0};
         }},
        // Enter never ends the dialog, and Escape is a close request like any
        // other, so the threads are always taken down by OnClose.
        {WM_COMMAND, BN_CLICKED, IDOK, [](std::uintptr_t, std::intptr_t) { return std::intptr_t{0}; }},
        {WM_COMMAND, BN_CLICKED, IDCANCEL,
         [this](std::uintptr_t, std::intptr_t) {
             OnClose();
             return std::intptr_t{0};
         }},
    };
}

bool CTarnwickDlg::OnInitDialog() {
    Dialog::OnInitDialog();

    if (SystemMenu* menu = GetSystemMenu()) {
        const char* about = FindStringResource(IDS_ABOUTBOX);
        if (about != nullptr && *about != '\0') {
            menu->AppendSeparator();
            menu->AppendItem(IDM_ABOUTBOX, about);
        }
    }

    appIcon = LoadIconFile(kIconFile, 32, 32);
    SetIcon(appIcon, true);
    appIcon = LoadIconFile(kIconFile, 16, 16);
    SetIcon(appIcon, false);

    if (!LoadModelCatalogue(ModelCatalogue, UiTexts)) return false;

    deviceList->SetExtendedStyle(0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    deviceList->SetBkColor(kListBackground);
    deviceList->SetTextColor(kListText);
    deviceList->SetTextBkColor(kListBackground);
    AddListActions(*this, *deviceList);

    if (LoadInterfaceTexts(UiTexts)) ApplyInterfaceTexts(*this, UiTexts);
    else InsertDefaultColumns();

    DiscoveryLog.Discard();
    std::memset(&modifyRecord, 0, sizeof modifyRecord);
    // The request flags, the SDK with the discovery callback, the control loop.
    discovery.Start();

    CheckDlgButton(IDC_TYPE_DVR, BST_UNCHECKED);
    CheckDlgButton(IDC_TYPE_IPC, BST_UNCHECKED);
    CheckDlgButton(IDC_TYPE_DEC, BST_UNCHECKED);
    CheckDlgButton(IDC_TYPE_NVR, BST_CHECKED);

    ready = true;
    mainDialog = this;
    return true;
}

void CTarnwickDlg::InsertDefaultColumns() {
    for (int i = 0; i < kDeviceListColumnCount; ++i) {
        const ListColumn& column = kDeviceListColumns[static_cast<std::size_t>(i)];
        deviceList->InsertColumn(i, column.heading, column.width, LVCFMT_LEFT);
    }
}

void CTarnwickDlg::EnableControls(bool enable) {
    for (int id : {IDC_TYPE_DVR, IDC_TYPE_IPC, IDC_TYPE_DEC, IDC_TYPE_NVR, IDC_DISCOVERY, IDC_LOCAL_IP,
                   IDC_NETMASK, IDC_GATEWAY, IDC_MODIFY})
        EnableDlgItem(id, enable);
}

void CTarnwickDlg::OnSysCommand(unsigned commandId, std::intptr_t param) {
    if ((commandId & 0xFFF0u) == IDM_ABOUTBOX) {
        Dialog::OpenModal(std::make_unique<CAboutDlg>(), this);
        return;
    }
    DefWindowProc(WM_SYSCOMMAND, 0, 0, commandId, param);
}

void CTarnwickDlg::OnDiscoveryClicked() {
    if (!ready) return;
    EnableControls(false);
    discovery.OnDiscoveryClicked();
}

void CTarnwickDlg::OnDiscoveryDone() {
    EnableControls(true);
    discovery.ShowProgress();  // gone now, unless camera models are still pending
}

void CTarnwickDlg::OnClose() {
    // A close during a run is refused and changes nothing: the control loop
    // keeps serving requests and the run goes on to its end, after which the
    // next close goes through.
    if (!discovery.completionSent.load()) return;
    TakeDown();
    DiscoveryLog.Discard();
    DefWindowProc(WM_CLOSE, 0, 0, 0, 0);
}

void CTarnwickDlg::TakeDown() {
    CTarnwickDlg* self = this;
    mainDialog.compare_exchange_strong(self, nullptr);
    discovery.Shutdown();
}
