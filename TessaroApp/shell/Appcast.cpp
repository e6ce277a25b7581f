#include "Appcast.h"

#include "protocol/TessaroError.h"

#include <QStringList>
#include <QUrl>
#include <QXmlStreamReader>

#include <optional>

namespace {

const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

struct ItemFields {
    std::optional<QString> shortVersionElement;
    std::optional<QString> versionElement;
    std::optional<QString> shortVersionAttribute;
    std::optional<QString> versionAttribute;
    std::optional<QString> link;
    std::optional<QString> enclosureURL;
    bool sawEnclosure = false;
};

// Empty text counts as absent.
std::optional<QString> present(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

QString webAddress(const std::optional<QString> &text)
{
    if (!text)
        return {};
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    if (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http"))
        return {};
    return url.toString();
}

ItemFields readItem(QXmlStreamReader &xml)
{
    ItemFields fields;
    while (xml.readNextStartElement()) {
        const bool sparkle = xml.namespaceUri() == sparkleNamespace;
        const bool plain = xml.namespaceUri().isEmpty();
        const auto name = xml.name();
        if (sparkle && name == QLatin1String("shortVersionString")) {
            fields.shortVersionElement = present(xml.readElementText(QXmlStreamReader::SkipChildElements));
        } else if (sparkle && name == QLatin1String("version")) {
            fields.versionElement = present(xml.readElementText(QXmlStreamReader::SkipChildElements));
        } else if (plain && name == QLatin1String("link")) {
            fields.link = present(xml.readElementText(QXmlStreamReader::SkipChildElements));
        } else if (plain && name == QLatin1String("enclosure")) {
            // The first enclosure speaks for the item.
            if (!fields.sawEnclosure) {
                fields.sawEnclosure = true;
                const QXmlStreamAttributes attributes = xml.attributes();
                fields.shortVersionAttribute =
                    present(attributes.value(sparkleNamespace, QStringLiteral("shortVersionString")).toString());
                fields.versionAttribute = present(attributes.value(sparkleNamespace, QStringLiteral("version")).toString());
                fields.enclosureURL = present(attributes.value(QStringLiteral("url")).toString());
            }
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    return fields;
}

std::optional<Appcast::Item> itemFrom(const ItemFields &fields)
{
    std::optional<QString> version = fields.shortVersionElement;
    if (!version)
        version = fields.shortVersionAttribute;
    if (!version)
        version = fields.versionElement;
    if (!version)
        version = fields.versionAttribute;
    if (!version || !Appcast::isVersion(*version))
        return std::nullopt;
    QString download = webAddress(fields.link);
    if (download.isEmpty())
        download = webAddress(fields.enclosureURL);
    return Appcast::Item{*version, download};
}

// The number without leading zeros, "0" for zero.
QStringView significant(QStringView number)
{
    while (number.size() > 1 && number.front() == u'0')
        number = number.mid(1);
    return number;
}

} // namespace

Appcast Appcast::parse(const QByteArray &document)
{
    QXmlStreamReader xml(document);
    Appcast appcast;
    bool isFeed = false;
    if (xml.readNextStartElement() && xml.name() == QLatin1String("rss") && xml.namespaceUri().isEmpty()) {
        isFeed = true;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("channel") || !xml.namespaceUri().isEmpty()) {
                xml.skipCurrentElement();
                continue;
            }
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("item") && xml.namespaceUri().isEmpty()) {
                    if (const std::optional<Item> item = itemFrom(readItem(xml)))
                        appcast.m_items.append(*item);
                } else {
                    xml.skipCurrentElement();
                }
            }
        }
    }
    // Whatever follows the root must still be well-formed.
    while (!xml.atEnd() && !xml.hasError())
        xml.readNext();

    if (xml.hasError()) {
        QString reason = xml.errorString().trimmed();
        if (!reason.endsWith(u'.'))
            reason += u'.';
        throw TessaroError::message(
            QStringLiteral("The update feed is not valid XML (line %1): %2").arg(xml.lineNumber()).arg(reason));
    }
    if (!isFeed)
        throw TessaroError::message(QStringLiteral("The update feed is not an RSS feed."));
    if (appcast.m_items.isEmpty())
        throw TessaroError::message(QStringLiteral("The update feed lists no release with a readable version."));
    return appcast;
}

const Appcast::Item &Appcast::newest() const
{
    const Item *best = &m_items.front();
    for (const Item &item : m_items) {
        if (compareVersions(item.version, best->version) > 0)
            best = &item;
    }
    return *best;
}

bool Appcast::isVersion(const QString &text)
{
    if (text.isEmpty())
        return false;
    bool digitBefore = false;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            digitBefore = true;
        } else if (c == u'.' && digitBefore) {
            digitBefore = false;
        } else {
            return false;
        }
    }
    return digitBefore;
}

int Appcast::compareVersions(const QString &a, const QString &b)
{
    const bool aIsVersion = isVersion(a);
    const bool bIsVersion = isVersion(b);
    if (!aIsVersion || !bIsVersion)
        return int(aIsVersion) - int(bIsVersion);
    const QList<QStringView> left = QStringView(a).split(u'.');
    const QList<QStringView> right = QStringView(b).split(u'.');
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const QStringView x = significant(i < left.size() ? left[i] : QStringView(u"0"));
        const QStringView y = significant(i < right.size() ? right[i] : QStringView(u"0"));
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        if (const int order = x.compare(y); order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}
