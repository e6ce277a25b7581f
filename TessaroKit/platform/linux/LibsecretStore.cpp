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

// The items with the service and account attributes, unlocked where the store allows
// (it may ask the user). An item that stays locked is still listed, so a locked store
// is told apart from a missing item.
struct Matches {
    Matches(const QString &service, const QString &account, SecretSearchFlags flags)
    {
        const QByteArray serviceText = service.toUtf8();
        const QByteArray accountText = account.toUtf8();
        GHashTable *attributes = secret_attributes_build(schema(), "service", serviceText.constData(), "account",
                                                         accountText.constData(), nullptr);
        if (!attributes)
            return;
        ErrorHolder failure;
        items = secret_service_search_sync(nullptr, schema(), attributes, flags, nullptr, &failure.error);
        g_hash_table_unref(attributes);
        searched = !failure.error;
    }
    ~Matches() { g_list_free_full(items, g_object_unref); }
    Matches(const Matches &) = delete;
    Matches &operator=(const Matches &) = delete;

    GList *items = nullptr;
    bool searched = false;
};

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
    const Matches matches(service, account, SecretSearchFlags(SECRET_SEARCH_UNLOCK | SECRET_SEARCH_LOAD_SECRETS));
    if (!matches.searched)
        return {Status::Failure, std::nullopt};
    if (!matches.items)
        return {Status::NotFound, std::nullopt};
    auto *item = static_cast<SecretItem *>(matches.items->data);
    SecretValue *secret = secret_item_get_locked(item) ? nullptr : secret_item_get_secret(item);
    if (!secret)
        return {Status::Failure, std::nullopt};
    gsize length = 0;
    const gchar *bytes = secret_value_get(secret, &length);
    Item found{Status::Success, QByteArray(bytes, qsizetype(length))};
    secret_value_unref(secret);
    return found;
}

SecretStore::Status LibsecretStore::remove(const QString &service, const QString &account)
{
    const Matches matches(service, account, SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK));
    if (!matches.searched)
        return Status::Failure;
    if (!matches.items)
        return Status::NotFound;
    for (GList *entry = matches.items; entry; entry = entry->next) {
        if (secret_item_get_locked(static_cast<SecretItem *>(entry->data)))
            return Status::Failure;
    }
    for (GList *entry = matches.items; entry; entry = entry->next) {
        ErrorHolder failure;
        if (!secret_item_delete_sync(static_cast<SecretItem *>(entry->data), nullptr, &failure.error) || failure.error)
            return Status::Failure;
    }
    return Status::Success;
}
