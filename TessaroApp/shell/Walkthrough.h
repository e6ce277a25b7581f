#pragma once

#include <QObject>
#include <QSet>
#include <QTimer>

class SessionModel;

// A headless run for machines without a display: once the model is connected it starts
// the simulated sample, prints each final transcript line and each newly selected
// answer's cue and deeper text as they arrive, ends the session when the service has
// gone quiet and quits with 0 (1 when the run could not complete).
class Walkthrough : public QObject {
    Q_OBJECT

public:
    explicit Walkthrough(SessionModel &model, QObject *parent = nullptr);

    void begin();

private:
    void onStatus();
    void onTranscript();
    void onAnswers();
    void finish(int code, const QString &reason);

    SessionModel &m_model;
    QSet<QString> m_printedSegments;
    QString m_lastSelected;
    bool m_started = false;
    bool m_finishing = false;
    bool m_sawAnswers = false;
    QTimer m_quiet;
    QTimer m_limit;
};
