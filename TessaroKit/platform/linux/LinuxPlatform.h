#pragma once

#include "platform/Platform.h"

// The real platform services of a Linux desktop.
class LinuxPlatform {
public:
    static Platform make();
};
