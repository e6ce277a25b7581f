#pragma once

#include <QList>
#include <QString>

// One application whose audio output can be captured, with the audio objects that
// belong to it.
struct AudioSource {
    QString id;
    QString name;
    QList<quint32> processIDs;

    bool operator==(const AudioSource &) const = default;
};
