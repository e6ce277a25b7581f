#pragma once

#include <chrono>
#include <functional>

// The capture controller's timing: the wait before rebuilding the system tap after an
// output change, the span in which at most three rebuilds are allowed, and the clock
// that span is measured with. Tests shorten them; the application uses the defaults.
struct LiveAudioCaptureTiming {
    std::chrono::milliseconds restartDelay{200};
    std::chrono::milliseconds restartWindow{5'000};
    int restartsPerWindow = 3;
    // Empty: std::chrono::steady_clock.
    std::function<std::chrono::steady_clock::time_point()> now;
};
