#include "cli/catalogue_file.h"

#include <tinyxml.h>

#include <cstdio>
#include <filesystem>

#include "config/xml_file.h"

namespace {

constexpr char kConfigFile[] = "Config.xml";

const char* Reason(XmlLoadResult result) {
    switch (result) {
        case XmlLoadResult::kUnreadable: return "cannot be read";
        case XmlLoadResult::kTooLarge: return "is larger than 1 MiB";
        case XmlLoadResult::kTooDeep: return "nests its elements too deeply";
        case XmlLoadResult::kTooManyAttributes: return "has an element with too many attributes";
        case XmlLoadResult::kNotWellFormed: return "is not well-formed XML";
        case XmlLoadResult::kLoaded: break;
    }
    return "cannot be used";
}

}  // namespace

CatalogueLoad LoadCatalogueFile(ModelCatalogue& catalogue) {
    catalogue.clear();
    std::error_code ec;
    if (!std::filesystem::exists(kConfigFile, ec) && !ec) {
        std::fprintf(stderr,
                     "tarnwick-cli: no Config.xml in the current directory; devices show their own model names\n");
        return CatalogueLoad::kMissing;
    }
    // The same checks the catalogue's own load makes, to say which failed:
    // the window would go on without a catalogue, but a script should hear
    // of a broken file.
    TiXmlDocument probe;
    const XmlLoadResult result = LoadXmlFileWithin(probe, kConfigFile, XmlLimits{});
    if (result != XmlLoadResult::kLoaded) {
        std::fprintf(stderr, "tarnwick-cli: Config.xml %s\n", Reason(result));
        return CatalogueLoad::kUnusable;
    }
    UiTexts texts;
    if (!LoadModelCatalogue(catalogue, texts)) {
        std::fprintf(stderr, "tarnwick-cli: Config.xml has no element inside its root (the window would not start)\n");
        return CatalogueLoad::kUnusable;
    }
    return CatalogueLoad::kLoaded;
}
