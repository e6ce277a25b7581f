#pragma once

#include "WireCoding.h"
#include "PreparedAnswer.h"
#include "RangeState.h"
#include "SessionSnapshot.h"
#include "Transcript.h"
#include "Health.h"
#include "Wallet.h"

struct ServerEvent {
    QString type;
    std::optional<QString> id;
    std::optional<QString> error;
    std::optional<QString> code;
    std::optional<QString> message;
    std::optional<SessionSnapshot> session;
    std::optional<Wallet> wallet;
    std::optional<Health> health;
    std::optional<Transcript> transcript;
    std::optional<PreparedAnswer> answer;
    std::optional<QList<PreparedAnswer>> answers;
    std::optional<RangeState> range;

    static constexpr auto wireFields()
    {
        return std::tuple{
            wire::field("type", &ServerEvent::type),
            wire::field("id", &ServerEvent::id),
            wire::field("error", &ServerEvent::error),
            wire::field("code", &ServerEvent::code),
            wire::field("message", &ServerEvent::message),
            wire::field("session", &ServerEvent::session),
            wire::field("wallet", &ServerEvent::wallet),
            wire::field("health", &ServerEvent::health),
            wire::field("transcript", &ServerEvent::transcript),
            wire::field("answer", &ServerEvent::answer),
            wire::field("answers", &ServerEvent::answers),
            wire::field("range", &ServerEvent::range)};
    }

    bool operator==(const ServerEvent &) const = default;
};
