#pragma once

#include <chrono>

// The waits of the session channel. The defaults are the real ones; tests pass shorter
// values to exercise time-outs quickly.
struct ServiceTiming {
    std::chrono::milliseconds readyWait{12'000};
    std::chrono::milliseconds readyPoll{20};
    std::chrono::milliseconds heartbeat{15'000};
    std::chrono::milliseconds commandTimeout{15'000};
    std::chrono::milliseconds replayFrame{100};
};
