#include "modify/modify_action.h"

#include <string>

#include "modify/address_change.h"
#include "res/resource_ids.h"
#include "sdk/q9_netsdk.h"

void OnModifyClicked(platform::Dialog& dialog, DeviceRecord& modifyRecord, const UiTexts& texts) {
    const std::string address = dialog.GetDlgItemText(IDC_LOCAL_IP);
    const std::string netmask = dialog.GetDlgItemText(IDC_NETMASK);
    const std::string gateway = dialog.GetDlgItemText(IDC_GATEWAY);
    if (ApplyAddressChange(modifyRecord, address, netmask, gateway) != AddressField::kNone) return;

    const bool applied = Q9_NET_DVR_ModifyIPC(&modifyRecord) != 0;
    dialog.MessageBox(texts.entries[applied ? kUiTextModifyOk : kUiTextModifyFailed],
                      texts.entries[kUiTextMessageCaption], platform::MB_OK);
}
