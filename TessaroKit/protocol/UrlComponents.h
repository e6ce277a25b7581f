#pragma once

#include <QString>

#include <optional>

// Generic RFC 3986 parsing of a URL reference into its components. Components are kept
// exactly as written (no case folding, no percent-decoding); characters outside each
// component's grammar make the whole reference fail to parse.
struct UrlComponents {
    std::optional<QString> scheme;
    std::optional<QString> user;
    std::optional<QString> password;
    std::optional<QString> host; // as written, brackets of an IP literal included
    std::optional<QString> port;
    QString path;
    std::optional<QString> query;    // "?" alone gives an empty, present query
    std::optional<QString> fragment; // "#" alone gives an empty, present fragment

    static std::optional<UrlComponents> parse(const QString &text);
};
