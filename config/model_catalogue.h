// The model-name catalogue: display names by serial prefix and sensor type,
// read from Config.xml with the texts of the modification message.
#pragma once

#include <map>
#include <string>

#include "config/ui_texts.h"

struct ModelKey {
    std::string serialPrefix;  // at most four characters of the serial number
    std::string sensorType;    // the camera's sensor model; empty for recorders and decoders
};

// Byte-wise ordering: by serialPrefix, then sensorType; each compared as
// unsigned bytes over the common length, the shorter text first.
bool operator<(const ModelKey& a, const ModelKey& b);
bool operator==(const ModelKey& a, const ModelKey& b);

using ModelCatalogue = std::map<ModelKey, std::string>;

// The display name stored for exactly this key, or null.
const std::string* FindModelName(const ModelCatalogue& catalogue, const ModelKey& key);

// Reads "Config.xml" from the current directory into `catalogue` and texts
// entries 15-17. Returns false only when start-up must stop: the file parsed
// but has no root element, or its root has no child element.
bool LoadModelCatalogue(ModelCatalogue& catalogue, UiTexts& texts);
