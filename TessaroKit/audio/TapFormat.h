#pragma once

#include "platform/AudioFormat.h"

#include <mutex>

// The current format of a system tap, shared between its audio callback (which copies
// it) and its format listener (which replaces it). The lock is held only for the copy
// or the replacement.
class TapFormat {
public:
    explicit TapFormat(const AudioFormat &value) : m_value(value) {}

    AudioFormat value() const
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    void setValue(const AudioFormat &value)
    {
        std::lock_guard lock(m_mutex);
        m_value = value;
    }

private:
    mutable std::mutex m_mutex;
    AudioFormat m_value;
};
