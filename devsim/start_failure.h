// Why a fleet could not start: one line that names the address and port
// concerned, and whether another socket already holds that address, which
// a caller may answer by choosing other ports.
#pragma once

#include <string>

namespace devsim {

struct StartFailure {
    std::string text;
    bool addressInUse = false;
};

}  // namespace devsim
