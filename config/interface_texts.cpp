#include "config/interface_texts.h"

#include <tinyxml.h>

#include <cstring>
#include <string>

#include "config/xml_file.h"
#include "platform/codepage.h"
#include "platform/dialog.h"
#include "res/list_columns.h"
#include "res/resource_ids.h"

namespace {

// Controls captioned by entries 10-14, in that order.
constexpr int kCaptionControls[kUiTextCaptionCount] = {IDC_DISCOVERY, IDC_LABEL_LOCAL_IP, IDC_LABEL_NETMASK,
                                                       IDC_LABEL_GATEWAY, IDC_MODIFY};

struct MessageText {
    const char* element;
    int entry;
};
constexpr MessageText kMessageTexts[] = {
    {"MessageCaption", kUiTextMessageCaption},
    {"MessageOKText", kUiTextModifyOk},
    {"MessageErrorText", kUiTextModifyFailed},
};

// The element's text converted to the ANSI code page, or false when the
// element is missing or has no text. The conversion runs in storage of the
// text's own length, as it would in the parsed document.
bool ConvertedText(const TiXmlElement* element, std::string& out) {
    const char* text = element ? element->GetText() : nullptr;
    if (text == nullptr) return false;
    std::string storage(text);
    Utf8ToAnsiInPlace(storage.data());
    storage.resize(std::strlen(storage.c_str()));
    out = std::move(storage);
    return true;
}

// Texts of a group's child elements by position, from entry `first`. The
// group's first child node must be an element; later nodes that are not are
// passed over. Elements past the group's `count` are dropped, so no group
// writes into the entries of another.
void ReadGroup(const TiXmlHandle& group, int first, int count, UiTexts& texts) {
    const TiXmlElement* element = group.FirstChild().ToElement();
    for (int p = 0; element != nullptr && p < count; ++p, element = element->NextSiblingElement()) {
        std::string text;
        if (ConvertedText(element, text)) texts.entries[static_cast<std::size_t>(first + p)] = std::move(text);
    }
}

}  // namespace

bool LoadInterfaceTexts(UiTexts& texts) {
    TiXmlDocument doc;
    if (!LoadXmlFile(doc, "language.xml")) return false;
    const TiXmlHandle root = TiXmlHandle(&doc).FirstChild("Tarnwick");

    std::string text;
    if (ConvertedText(root.FirstChild("TitleName").ToElement(), text)) texts.title = text;
    ReadGroup(root.FirstChild("ListCtrlColumnTitle"), kUiTextFirstHeading, kUiTextHeadingCount, texts);
    ReadGroup(root.FirstChild("Buttons"), kUiTextFirstCaption, kUiTextCaptionCount, texts);
    for (const MessageText& m : kMessageTexts)
        if (ConvertedText(root.FirstChild(m.element).ToElement(), text))
            texts.entries[static_cast<std::size_t>(m.entry)] = text;
    return true;
}

void ApplyInterfaceTexts(platform::Dialog& dialog, const UiTexts& texts) {
    dialog.SetWindowText(texts.title);
    if (platform::ListView* list = dialog.GetListView(IDC_DEVICE_LIST)) {
        for (int i = 0; i < kDeviceListColumnCount; ++i) {
            const auto column = static_cast<std::size_t>(i);
            list->InsertColumn(i, texts.entries[column], kDeviceListColumns[column].width, platform::LVCFMT_LEFT);
        }
    }
    for (int k = 0; k < kUiTextCaptionCount; ++k)
        dialog.SetDlgItemText(kCaptionControls[k], texts.entries[static_cast<std::size_t>(kUiTextFirstCaption + k)]);
}

void Utf8ToAnsiInPlace(char* s) {
    if (s == nullptr) return;
    const std::size_t length = std::strlen(s);
    const std::u16string wide = platform::Utf8ToWide(std::string_view(s, length));
    // Never longer than s: where the code page form grows (UTF-8 as the code
    // page, a bad byte becoming a three-byte U+FFFD) it ends at the last
    // whole character that fits.
    const std::string ansi = platform::WideToAnsiBounded(wide, length);
    const std::size_t k = std::strlen(ansi.c_str());
    std::memset(s, 0, k + 1);
    std::memcpy(s, ansi.data(), k);
}
