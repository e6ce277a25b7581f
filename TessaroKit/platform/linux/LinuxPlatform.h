#pragma once

#include "platform/Platform.h"

// The real platform services of a Linux desktop.
class LinuxPlatform {
public:
    static Platform make();
    // The pretty host name hostnamed keeps (as the desktop's settings show it), else the
    // host name.
    static QString computerName();
};
