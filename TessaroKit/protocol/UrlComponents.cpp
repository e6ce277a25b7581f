#include "UrlComponents.h"

namespace {

bool isAlpha(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool isHex(QChar c) { return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }
bool isUnreserved(QChar c) { return isAlpha(c) || isDigit(c) || c == u'-' || c == u'.' || c == u'_' || c == u'~'; }
bool isSubDelim(QChar c) { return QStringView(u"!$&'()*+,;=").contains(c); }

// Every character is unreserved, a sub-delimiter, one of `extra`, or part of a
// well-formed percent escape.
bool conforms(QStringView text, QStringView extra)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%') {
            if (i + 2 >= text.size())
                return false;
            if (!isHex(text[i + 1]) || !isHex(text[i + 2]))
                return false;
            i += 2;
            continue;
        }
        if (!isUnreserved(c) && !isSubDelim(c) && !extra.contains(c))
            return false;
    }
    return true;
}

bool validScheme(QStringView scheme)
{
    if (scheme.isEmpty() || !isAlpha(scheme[0]))
        return false;
    for (const QChar c : scheme)
        if (!isAlpha(c) && !isDigit(c) && c != u'+' && c != u'-' && c != u'.')
            return false;
    return true;
}

bool validIpLiteral(QStringView host)
{
    if (host.size() < 3 || host.front() != u'[' || host.back() != u']')
        return false;
    for (const QChar c : host.mid(1, host.size() - 2))
        if (!isHex(c) && c != u':' && c != u'.')
            return false;
    return true;
}

} // namespace

std::optional<UrlComponents> UrlComponents::parse(const QString &text)
{
    UrlComponents result;
    QStringView rest(text);

    // scheme ":" — the scheme ends at the first ":" before any "/", "?" or "#".
    const qsizetype delimiter = [&] {
        for (qsizetype i = 0; i < rest.size(); ++i) {
            const QChar c = rest[i];
            if (c == u':')
                return i;
            if (c == u'/' || c == u'?' || c == u'#')
                return qsizetype(-1);
        }
        return qsizetype(-1);
    }();
    if (delimiter >= 0) {
        const QStringView scheme = rest.left(delimiter);
        if (!validScheme(scheme))
            return std::nullopt;
        result.scheme = scheme.toString();
        rest = rest.mid(delimiter + 1);
    }

    const qsizetype hash = rest.indexOf(u'#');
    if (hash >= 0) {
        const QStringView fragment = rest.mid(hash + 1);
        if (!conforms(fragment, u":@/?"))
            return std::nullopt;
        result.fragment = fragment.toString();
        rest = rest.left(hash);
    }
    const qsizetype question = rest.indexOf(u'?');
    if (question >= 0) {
        const QStringView query = rest.mid(question + 1);
        if (!conforms(query, u":@/?"))
            return std::nullopt;
        result.query = query.toString();
        rest = rest.left(question);
    }

    if (rest.startsWith(u"//")) {
        rest = rest.mid(2);
        const qsizetype slash = rest.indexOf(u'/');
        QStringView authority = slash >= 0 ? rest.left(slash) : rest;
        rest = slash >= 0 ? rest.mid(slash) : QStringView();

        const qsizetype at = authority.lastIndexOf(u'@');
        if (at >= 0) {
            const QStringView userInfo = authority.left(at);
            if (!conforms(userInfo, u":"))
                return std::nullopt;
            const qsizetype colon = userInfo.indexOf(u':');
            result.user = (colon >= 0 ? userInfo.left(colon) : userInfo).toString();
            if (colon >= 0)
                result.password = userInfo.mid(colon + 1).toString();
            authority = authority.mid(at + 1);
        }

        QStringView host = authority;
        if (authority.startsWith(u'[')) {
            const qsizetype close = authority.indexOf(u']');
            if (close < 0)
                return std::nullopt;
            host = authority.left(close + 1);
            if (!validIpLiteral(host))
                return std::nullopt;
            const QStringView after = authority.mid(close + 1);
            if (!after.isEmpty()) {
                if (after.front() != u':')
                    return std::nullopt;
                result.port = after.mid(1).toString();
            }
        } else {
            const qsizetype colon = authority.lastIndexOf(u':');
            if (colon >= 0) {
                host = authority.left(colon);
                result.port = authority.mid(colon + 1).toString();
            }
            if (!conforms(host, u""))
                return std::nullopt;
        }
        if (result.port) {
            for (const QChar c : *result.port)
                if (!isDigit(c))
                    return std::nullopt;
        }
        result.host = host.toString();
    }

    if (!conforms(rest, u":@/"))
        return std::nullopt;
    result.path = rest.toString();
    return result;
}
