#pragma once

#include "WireCoding.h"

// The error body of a reply that did not succeed.
struct Failure {
    QString message;

    static constexpr auto wireFields() { return std::tuple{wire::field("message", &Failure::message)}; }
};
