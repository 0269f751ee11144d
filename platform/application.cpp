#include "platform/application.h"

#include "platform/backend.h"

namespace platform {

void WinApp::SetRegistryKey(std::string_view key) {
    if (Backend* backend = GetBackend()) backend->SetSettingsScope(key);
}

}  // namespace platform
