#include "config/model_catalogue.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstring>

#include "config/xml_file.h"

namespace {

int CompareBytes(const std::string& a, const std::string& b) {
    const std::size_t common = std::min(a.size(), b.size());
    const int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
    if (c != 0) return c;
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Text of "Tarnwick"/<name>, followed from the document, or the default.
std::string MessageText(TiXmlDocument& doc, const char* name, const char* fallback) {
    const TiXmlElement* element = TiXmlHandle(&doc).FirstChild("Tarnwick").FirstChild(name).ToElement();
    const char* text = element ? element->GetText() : nullptr;
    return text ? std::string(text) : std::string(fallback);
}

}  // namespace

bool operator<(const ModelKey& a, const ModelKey& b) {
    const int c = CompareBytes(a.serialPrefix, b.serialPrefix);
    return c != 0 ? c < 0 : CompareBytes(a.sensorType, b.sensorType) < 0;
}

bool operator==(const ModelKey& a, const ModelKey& b) {
    return a.serialPrefix == b.serialPrefix && a.sensorType == b.sensorType;
}

const std::string* FindModelName(const ModelCatalogue& catalogue, const ModelKey& key) {
    const auto it = catalogue.find(key);
    return it == catalogue.end() ? nullptr : &it->second;
}

bool LoadModelCatalogue(ModelCatalogue& catalogue, UiTexts& texts) {
    catalogue.clear();
    TiXmlDocument doc;
    if (!LoadXmlFile(doc, "Config.xml")) return true;

    const TiXmlElement* root = doc.FirstChildElement();
    const TiXmlElement* group = root ? root->FirstChildElement() : nullptr;
    if (group == nullptr) return false;

    for (const TiXmlElement* entry = group->FirstChildElement(); entry != nullptr;
         entry = entry->NextSiblingElement()) {
        const char* serialNo = entry->Attribute("SerialNo");
        const char* sensorType = entry->Attribute("SensorType");
        const char* name = entry->Attribute("Name");
        if (serialNo == nullptr || name == nullptr) continue;
        // An entry without "SensorType" serves recorders and decoders.
        catalogue.emplace(ModelKey{serialNo, sensorType ? sensorType : ""}, name);
    }

    texts.entries[kUiTextMessageCaption] = MessageText(doc, "MessageCaption", "Notice");
    texts.entries[kUiTextModifyOk] = MessageText(doc, "MessageOKText", "Modify OK");
    texts.entries[kUiTextModifyFailed] = MessageText(doc, "MessageErrorText", "Modify Failed");
    return true;
}
