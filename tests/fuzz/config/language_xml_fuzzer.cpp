// language.xml through the interface-text loader, and every input as one
// text through the in-place conversion, under several ANSI code pages.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "config/interface_texts.h"
#include "platform/codepage.h"
#include "tests/fuzz/config/private_dir.h"

namespace {

constexpr const char* kCodePages[] = {"UTF-8", "WINDOWS-1251", "WINDOWS-1253", "GBK"};

// The conversion in storage of exactly the text's size, so a write past it
// is an overflow the address sanitizer reports.
void ConvertInPlace(const std::uint8_t* data, std::size_t size) {
    const std::size_t length = strnlen(reinterpret_cast<const char*>(data), size);
    auto text = std::make_unique<char[]>(length + 1);
    std::memcpy(text.get(), data, length);
    text[length] = '\0';
    Utf8ToAnsiInPlace(text.get());
    if (std::strlen(text.get()) > length) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_support::EnterPrivateDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::SetAnsiCodePage(kCodePages[size % 4]);
    ConvertInPlace(data, size);

    fuzz_support::WriteInput("language.xml", data, size);
    const std::string fromConfig = "from Config.xml";
    UiTexts texts;
    texts.entries[kUiTextModifyOk] = fromConfig;
    const bool loaded = LoadInterfaceTexts(texts);
    if (!loaded && texts.entries[kUiTextModifyOk] != fromConfig) std::abort();
    // Every text read comes out of the file and is no longer than it.
    if (texts.title.size() > size) std::abort();
    for (const std::string& entry : texts.entries)
        if (entry.size() > size && entry != fromConfig) std::abort();
    return 0;
}
