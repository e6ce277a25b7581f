#include "RunningApplications.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <unistd.h>

namespace {

// Small files of /proc only; nothing there is large, but the reads stay bounded.
QByteArray readSmall(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024);
}

QStringList defaultDataDirectories()
{
    QStringList directories;
    const QString home = qEnvironmentVariable("XDG_DATA_HOME", QDir::homePath() + QStringLiteral("/.local/share"));
    directories.append(home);
    const QString system = qEnvironmentVariable("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    directories.append(system.split(QLatin1Char(':'), Qt::SkipEmptyParts));
    return directories;
}

// Reads the keys of the [Desktop Entry] group of one file.
QHash<QString, QString> desktopGroup(const QString &path)
{
    QHash<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inGroup = false;
    qint64 budget = 1024 * 1024;
    while (!file.atEnd() && budget > 0) {
        const QByteArray raw = file.readLine(64 * 1024);
        budget -= raw.size();
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inGroup || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

} // namespace

QString RunningApplications::program(const QString &exec)
{
    // Words split on blanks, quotes removed; field codes (%U) are later words anyway.
    QStringList words;
    QString word;
    bool quoted = false;
    for (const QChar c : exec) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            continue;
        }
        if (c.isSpace() && !quoted) {
            if (!word.isEmpty())
                words.append(word);
            word.clear();
            continue;
        }
        word.append(c);
    }
    if (!word.isEmpty())
        words.append(word);
    qsizetype index = 0;
    if (index < words.size() && QFileInfo(words.at(index)).fileName() == QLatin1String("env")) {
        ++index;
        while (index < words.size()) {
            const QString &word = words.at(index);
            if (word == QLatin1String("-u") || word == QLatin1String("--unset") || word == QLatin1String("-C")
                || word == QLatin1String("--chdir"))
                index += 2; // the option and its value
            else if (word.contains(QLatin1Char('=')) || word.startsWith(QLatin1Char('-')))
                ++index;
            else
                break;
        }
    }
    if (index >= words.size())
        return {};
    return QFileInfo(words.at(index)).fileName();
}

QString RunningApplications::scopeIdentifier(const QString &cgroup, bool *flatpak)
{
    // systemd names the units of launched applications app-<launcher>-<id>-<random>.scope
    // or app-<launcher>-<id>@<random>.service, with "-" inside the id written as \x2d;
    // Flatpak's launcher is "flatpak" and its id the application id.
    static const QRegularExpression unit(QStringLiteral(
        R"(^app-([A-Za-z0-9_]+)-(.+?)(?:-[0-9A-Fa-f]+\.scope|@[^/]*\.service|\.service)$)"));
    if (flatpak)
        *flatpak = false;
    for (const QString &line : cgroup.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString last = line.section(QLatin1Char('/'), -1).trimmed();
        const QRegularExpressionMatch match = unit.match(last);
        if (!match.hasMatch())
            continue;
        QString identifier = match.captured(2);
        identifier.replace(QStringLiteral("\\x2d"), QStringLiteral("-"));
        if (flatpak)
            *flatpak = match.captured(1) == QLatin1String("flatpak");
        return identifier;
    }
    return {};
}

RunningApplications::DesktopEntries RunningApplications::desktopEntries(const QStringList &dataDirectories)
{
    DesktopEntries entries;
    for (const QString &directory : dataDirectories) {
        const QString root = directory + QStringLiteral("/applications");
        QDirIterator files(root, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const QHash<QString, QString> keys = desktopGroup(path);
            if (keys.value(QStringLiteral("Type")) != QLatin1String("Application"))
                continue;
            if (keys.value(QStringLiteral("NoDisplay")) == QLatin1String("true")
                || keys.value(QStringLiteral("Hidden")) == QLatin1String("true"))
                continue;
            QString id = QDir(root).relativeFilePath(path);
            id.chop(int(sizeof(".desktop") - 1));
            id.replace(QLatin1Char('/'), QLatin1Char('-'));
            entries.ids.insert(id);
            const QString program = RunningApplications::program(keys.value(QStringLiteral("Exec")));
            if (!program.isEmpty())
                entries.programs.insert(program);
        }
    }
    return entries;
}

QSet<QString> RunningApplications::scan(const QString &processRoot, QStringList dataDirectories)
{
    if (dataDirectories.isEmpty())
        dataDirectories = defaultDataDirectories();
    const DesktopEntries entries = desktopEntries(dataDirectories);
    const QString user = QString::number(::getuid());
    static const QRegularExpression uidLine(QStringLiteral("^Uid:\\s+(\\d+)"), QRegularExpression::MultilineOption);

    QSet<QString> applications;
    const QStringList processes = QDir(processRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : processes) {
        bool number = false;
        pid.toUInt(&number);
        if (!number)
            continue;
        const QString base = processRoot + QLatin1Char('/') + pid;
        const QRegularExpressionMatch owner = uidLine.match(QString::fromUtf8(readSmall(base + QStringLiteral("/status"))));
        if (!owner.hasMatch() || owner.captured(1) != user)
            continue;
        bool flatpak = false;
        const QString scoped = scopeIdentifier(QString::fromUtf8(readSmall(base + QStringLiteral("/cgroup"))), &flatpak);
        if (flatpak && !scoped.isEmpty()) {
            applications.insert(scoped);
            continue;
        }
        QString binary = QFileInfo(QFile::symLinkTarget(base + QStringLiteral("/exe"))).fileName();
        if (binary.isEmpty())
            binary = QString::fromUtf8(readSmall(base + QStringLiteral("/comm"))).trimmed();
        if (binary.isEmpty())
            continue;
        const bool launchedFromEntry = !scoped.isEmpty() && entries.ids.contains(scoped);
        if (entries.programs.contains(binary) || entries.ids.contains(binary) || launchedFromEntry) {
            applications.insert(binary);
            if (launchedFromEntry)
                applications.insert(scoped);
        }
    }
    return applications;
}
