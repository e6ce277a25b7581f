#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// An update feed: an RSS 2.0 document whose items each announce one release. An item's
// version is its sparkle:shortVersionString, else its sparkle:version, each read from the
// item's own element first and then from its <enclosure>'s attribute of that name (in
// the namespace "http://www.andymatuschak.org/xml-namespaces/sparkle"). Its download
// page is its <link>, else the enclosure's url, kept only when it is an https or http
// address. Items without a version made of dotted decimal numbers ("0.10.2") are left
// out.
class Appcast {
public:
    struct Item {
        QString version;
        QString downloadURL;
    };

    // Throws TessaroError with a sentence for malformed XML, a document that is not an
    // RSS feed, and a feed with no item that carries a readable version.
    static Appcast parse(const QByteArray &document);

    const QList<Item> &items() const { return m_items; }
    // The item with the highest version; the first of equals.
    const Item &newest() const;

    // Whether text is dotted decimal numbers, e.g. "1", "0.4.0", "2024.10.3".
    static bool isVersion(const QString &text);
    // Compares two versions number by number, missing numbers counting as 0 (so "1.0"
    // equals "1.0.0" and "0.10.0" is above "0.9.2"); numbers of any length. Negative, 0
    // or positive as a is below, equal to or above b. Text that is no version counts as
    // below every version.
    static int compareVersions(const QString &a, const QString &b);

private:
    QList<Item> m_items;
};
