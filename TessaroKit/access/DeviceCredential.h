#pragma once

#include "platform/SecretStore.h"
#include "protocol/Connection.h"

#include <optional>

// This machine's Connection, kept in the user's secret store as one item so the app
// reconnects at launch without signing in again. The item's service name follows the
// bundle identifier, so builds with different identifiers keep separate items.
class DeviceCredential {
public:
    static const QString accountName;

    DeviceCredential(SecretStore &store, QString bundleIdentifier);

    static QString serviceName(const QString &bundleIdentifier);

    // Stores or replaces the item. Throws TessaroError.
    void save(const Connection &connection);
    // The stored connection, or absent when there is none. Throws TessaroError, or the
    // decoding error of a malformed item.
    std::optional<Connection> load();
    // Deletes the item if present. Throws TessaroError.
    void remove();

private:
    SecretStore &m_store;
    QString m_bundleIdentifier;
};
