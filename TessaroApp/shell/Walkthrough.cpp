#include "Walkthrough.h"

#include "model/SessionModel.h"

#include <QCoreApplication>
#include <QPointer>

#include <cstdio>

namespace {

void printLine(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

} // namespace

Walkthrough::Walkthrough(SessionModel &model, QObject *parent)
    : QObject(parent)
    , m_model(model)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(3000);
    connect(&m_quiet, &QTimer::timeout, this, [this] { finish(0, QStringLiteral("the sample has gone quiet")); });
    m_limit.setSingleShot(true);
    m_limit.setInterval(120'000);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        finish(m_sawAnswers ? 0 : 1, QStringLiteral("the time for the walkthrough ran out"));
    });
    connect(&m_model, &SessionModel::statusChanged, this, &Walkthrough::onStatus);
    connect(&m_model, &SessionModel::onboardingChanged, this, &Walkthrough::onStatus);
    connect(&m_model, &SessionModel::transcriptChanged, this, &Walkthrough::onTranscript);
    connect(&m_model, &SessionModel::answersChanged, this, &Walkthrough::onAnswers);
    connect(&m_model, &SessionModel::selectedIDChanged, this, &Walkthrough::onAnswers);
}

void Walkthrough::begin()
{
    m_limit.start();
    printLine(QStringLiteral("walkthrough: waiting for the service"));
    onStatus();
}

void Walkthrough::onStatus()
{
    printLine(QStringLiteral("status: ") + m_model.status());
    if (m_started || m_finishing || !m_model.loaded())
        return;
    if (m_model.onboarding() && !m_model.client()) {
        finish(1, QStringLiteral("no service connection: ")
                      + m_model.error().value_or(QStringLiteral("nothing to connect to")));
        return;
    }
    if (!m_model.client() || !m_model.account())
        return;
    m_started = true;
    printLine(QStringLiteral("walkthrough: starting the simulated sample"));
    QPointer<Walkthrough> self(this);
    [](QPointer<Walkthrough> self, SessionModel *model) -> QCoro::Task<void> {
        co_await model->start(false, false);
        if (!self)
            co_return;
        if (!model->active())
            self->finish(1, QStringLiteral("the session did not start: ")
                                + model->error().value_or(model->status()));
        else
            self->m_quiet.start();
    }(self, &m_model);
}

void Walkthrough::onTranscript()
{
    for (const Transcript &segment : m_model.transcript()) {
        if (!segment.final || m_printedSegments.contains(segment.id))
            continue;
        m_printedSegments.insert(segment.id);
        printLine(QStringLiteral("transcript: ") + segment.text);
    }
    if (m_started)
        m_quiet.start();
}

void Walkthrough::onAnswers()
{
    const std::optional<PreparedAnswer> selected = m_model.selected();
    if (!selected || selected->id == m_lastSelected)
        return;
    m_lastSelected = selected->id;
    m_sawAnswers = true;
    printLine(QStringLiteral("answer: ") + selected->title);
    printLine(QStringLiteral("  cue: ") + selected->cue);
    printLine(QStringLiteral("  deeper: ") + selected->deeper);
    if (m_started)
        m_quiet.start();
}

void Walkthrough::finish(int code, const QString &reason)
{
    if (m_finishing)
        return;
    m_finishing = true;
    m_quiet.stop();
    m_limit.stop();
    printLine(QStringLiteral("walkthrough: ") + reason);
    if (code == 0 && !m_sawAnswers)
        code = 1;
    QPointer<Walkthrough> self(this);
    [](QPointer<Walkthrough> self, SessionModel *model, int code) -> QCoro::Task<void> {
        if (model->active())
            co_await model->stop();
        printLine(QStringLiteral("status: ") + model->status());
        QCoreApplication::exit(code);
    }(self, &m_model, code);
}
