// The application object: what the program does once the toolkit runs.
#pragma once

#include <string_view>

namespace platform {

class Dialog;

class WinApp {
public:
    virtual ~WinApp() = default;
    // Returns false when the program ends after it, true to keep running.
    virtual bool InitInstance() { return false; }
    // The scope of the application's settings (nothing is stored there).
    void SetRegistryKey(std::string_view key);

    Dialog* mainWindow = nullptr;
};

}  // namespace platform
