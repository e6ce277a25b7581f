// glib's headers use identifiers that Qt defines as macros, so they come first.
#include <libsecret/secret.h>

#include "LibsecretStore.h"

namespace {

const SecretSchema *schema()
{
    static const SecretSchema definition = {
        "com.tessaro.native.SecretItem",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
         {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &definition;
}

struct ErrorHolder {
    GError *error = nullptr;
    ~ErrorHolder()
    {
        if (error)
            g_error_free(error);
    }
};

SecretStore::Status store(const QString &service, const QString &account, const QByteArray &data)
{
    const QByteArray serviceText = service.toUtf8();
    const QByteArray accountText = account.toUtf8();
    // The secret is handed over as text; a NUL byte would cut it short.
    if (data.contains('\0'))
        return SecretStore::Status::Failure;
    ErrorHolder failure;
    const gboolean stored = secret_password_store_sync(
        schema(), SECRET_COLLECTION_DEFAULT, "Corvana device sign-in", data.constData(), nullptr,
        &failure.error, "service", serviceText.constData(), "account", accountText.constData(), nullptr);
    return stored && !failure.error ? SecretStore::Status::Success : SecretStore::Status::Failure;
}

} // namespace

SecretStore::Status LibsecretStore::update(const QString &service, const QString &account, const QByteArray &data)
{
    const Item existing = copy(service, account);
    if (existing.status != Status::Success)
        return existing.status;
    return store(service, account, data);
}

SecretStore::Status LibsecretStore::add(const QString &service, const QString &account, const QByteArray &data)
{
    return store(service, account, data);
}

SecretStore::Item LibsecretStore::copy(const QString &service, const QString &account)
{
    const QByteArray serviceText = service.toUtf8();
    const QByteArray accountText = account.toUtf8();
    ErrorHolder failure;
    gchar *secret = secret_password_lookup_sync(schema(), nullptr, &failure.error, "service",
                                                serviceText.constData(), "account", accountText.constData(),
                                                nullptr);
    if (failure.error) {
        if (secret)
            secret_password_free(secret);
        return {Status::Failure, std::nullopt};
    }
    if (!secret)
        return {Status::NotFound, std::nullopt};
    Item item{Status::Success, QByteArray(secret)};
    secret_password_free(secret);
    return item;
}

SecretStore::Status LibsecretStore::remove(const QString &service, const QString &account)
{
    const QByteArray serviceText = service.toUtf8();
    const QByteArray accountText = account.toUtf8();
    ErrorHolder failure;
    const gboolean removed = secret_password_clear_sync(schema(), nullptr, &failure.error, "service",
                                                        serviceText.constData(), "account",
                                                        accountText.constData(), nullptr);
    if (failure.error)
        return Status::Failure;
    return removed ? Status::Success : Status::NotFound;
}
