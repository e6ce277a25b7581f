#pragma once

#include "platform/AudioFormat.h"

// One buffer of interleaved samples as an audio thread hands it over. The samples are
// not owned: they stay valid only for the duration of the call that receives them.
struct AudioBuffer {
    AudioFormat format;
    qsizetype frames = 0;
    const void *data = nullptr;
};
