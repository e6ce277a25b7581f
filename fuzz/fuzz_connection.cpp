// Connection from a URL and a token (as typed, or as a sign-in grant gives them) and from
// its stored JSON form.
//
// Input: first byte bit 0 set = JSON form (the rest of the input). Otherwise the second byte
// is the length n of the URL, the next n bytes are the URL and the rest is the token, both
// UTF-8 (bit 1 set: UTF-16, so lone surrogates reach the checks).

#include "FuzzSupport.h"

#include "protocol/Connection.h"
#include "protocol/TessaroError.h"
#include "text/UnicodeText.h"

namespace {

QString text(const QByteArray &bytes, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(bytes);
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
}

// What holds for every connection that exists.
void checkValid(const Connection &connection)
{
    const QString &url = connection.serviceUrl();
    FUZZ_CHECK(!url.endsWith(u'/'), url);
    const qsizetype characters = UnicodeText::graphemeCount(connection.token());
    FUZZ_CHECK(characters >= 24 && characters <= 256, connection.token());
    FUZZ_CHECK(url.startsWith(QLatin1String("https://")) || url.startsWith(QLatin1String("http://")), url);

    // Validation is idempotent, and the stored form decodes to the same connection.
    try {
        FUZZ_CHECK(Connection(url, connection.token()) == connection, url);
        FUZZ_CHECK(wire::decode<Connection>(wire::encode(connection)) == connection, url);
    } catch (const std::exception &failure) {
        fuzz::broken("a valid connection stays valid", url + u'\n' + QString::fromUtf8(failure.what()));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t mode = data[0];
    try {
        if (mode & 1) {
            checkValid(wire::decode<Connection>(fuzz::bytes(data + 1, size - 1)));
        } else {
            const bool utf16 = mode & 2;
            const size_t urlLength = std::min<size_t>(data[1], size - 2);
            const QString url = text(fuzz::bytes(data + 2, urlLength), utf16);
            const QString token = text(fuzz::bytes(data + 2 + urlLength, size - 2 - urlLength), utf16);
            checkValid(Connection(url, token));
        }
    } catch (const TessaroError &error) {
        FUZZ_CHECK(error.description() == Connection::invalidMessage, error.description());
    } catch (const WireFormatError &) {
    }
    return 0;
}
