#pragma once

#include "FakeMicrophoneEngine.h"
#include "platform/Microphone.h"

#include <QObject>

// Microphone whose permission answer the tests give: immediately (`answer` set) or
// later through grant() while the request waits.
class FakeMicrophone : public QObject, public Microphone {
    Q_OBJECT

public:
    std::optional<bool> answer = true;
    int requests = 0;
    std::shared_ptr<FakeMicrophoneEngine::State> state = std::make_shared<FakeMicrophoneEngine::State>();

    QCoro::Task<bool> requestAccess() override;
    std::unique_ptr<MicrophoneEngine> makeEngine() override;

    bool waiting() const { return m_waiting; }
    void grant() { emit answered(true); }

signals:
    void answered(bool granted);

private:
    bool m_waiting = false;
};
