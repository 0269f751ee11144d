// The application object: runs the main dialog and ends the program after it.
#pragma once

#include "platform/application.h"

class CTarnwickApp : public platform::WinApp {
public:
    bool InitInstance() override;
};

extern CTarnwickApp theApp;
