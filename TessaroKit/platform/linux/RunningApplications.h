#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The applications a user runs, read from the process table and the desktop entries.
// A process counts when it belongs to the user and either runs inside a Flatpak (its
// application id counts) or runs a program that a visible desktop entry launches (its
// program name counts, and so does the entry's id when the process was launched from
// it). These are the identifiers the PipeWire layer gives the process's audio streams.
class RunningApplications {
public:
    // `processRoot` is the proc file system; `dataDirectories` the XDG data directories
    // whose "applications" folders hold the desktop entries (empty: $XDG_DATA_HOME and
    // $XDG_DATA_DIRS with their defaults).
    static QSet<QString> scan(const QString &processRoot = QStringLiteral("/proc"),
                              QStringList dataDirectories = {});

    struct DesktopEntries {
        // Entry ids ("org.gnome.Maps" for org.gnome.Maps.desktop).
        QSet<QString> ids;
        // File names of the programs the entries run.
        QSet<QString> programs;
    };
    static DesktopEntries desktopEntries(const QStringList &dataDirectories);

    // The program an Exec line runs: its first word after any "env" and VAR=value words,
    // without quotes or directory; empty when there is none.
    static QString program(const QString &exec);
    // The application id in a Flatpak scope, or the entry id in a launcher's scope, read
    // from a /proc/<pid>/cgroup text; empty when there is none.
    static QString scopeIdentifier(const QString &cgroup, bool *flatpak = nullptr);
};
