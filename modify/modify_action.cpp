#include "modify/modify_action.h"

#include <cstring>
#include <string>

#include "modify/address_validation.h"
#include "res/resource_ids.h"
#include "sdk/q9_netsdk.h"

namespace {

// Reads an edit box into an address field: at most 15 characters and a NUL.
// False when the box holds more than the field can: such a text is refused
// rather than cut to an address nobody typed.
bool ReadAddressBox(const platform::Dialog& dialog, int id, char (&field)[16]) {
    const std::string text = dialog.GetDlgItemText(id);
    const std::size_t kept = std::min(text.size(), sizeof field - 1);
    std::memcpy(field, text.data(), kept);
    field[kept] = '\0';
    return text.size() < sizeof field;
}

}  // namespace

void OnModifyClicked(platform::Dialog& dialog, DeviceRecord& modifyRecord, const UiTexts& texts) {
    NetBlock& eth0 = modifyRecord.eth0;
    const bool ipFits = ReadAddressBox(dialog, IDC_LOCAL_IP, eth0.ip);
    const bool maskFits = ReadAddressBox(dialog, IDC_NETMASK, eth0.mask);
    const bool gwFits = ReadAddressBox(dialog, IDC_GATEWAY, eth0.gw);
    if (!ipFits || !IsValidIPv4(eth0.ip)) return;
    if (!maskFits || !IsValidIPv4(eth0.mask)) return;
    if (!gwFits || !IsValidIPv4(eth0.gw)) return;
    // The DNS texts come from the record; a field without its NUL is refused.
    if (strnlen(eth0.dns1, sizeof eth0.dns1) == sizeof eth0.dns1 || !IsValidIPv4(eth0.dns1)) return;
    if (strnlen(eth0.dns2, sizeof eth0.dns2) == sizeof eth0.dns2 || !IsValidIPv4(eth0.dns2)) return;

    const bool applied = Q9_NET_DVR_ModifyIPC(&modifyRecord) != 0;
    dialog.MessageBox(texts.entries[applied ? kUiTextModifyOk : kUiTextModifyFailed],
                      texts.entries[kUiTextMessageCaption], platform::MB_OK);
}
