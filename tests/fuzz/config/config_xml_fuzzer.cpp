// Config.xml through the model-name catalogue loader.
#include <cstdint>
#include <cstdlib>

#include "config/model_catalogue.h"
#include "tests/fuzz/config/private_dir.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::EnterPrivateDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_support::WriteInput("Config.xml", data, size);
    ModelCatalogue catalogue;
    UiTexts texts;
    const bool goesOn = LoadModelCatalogue(catalogue, texts);
    // A structural failure loads nothing.
    if (!goesOn && (!catalogue.empty() || !texts.entries[kUiTextMessageCaption].empty())) std::abort();
    for (const auto& [key, name] : catalogue)
        if (FindModelName(catalogue, key) != &name) std::abort();
    return 0;
}
