#include "DevService.h"
#include "PocketSphinxRecognizer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvana-devservice"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The local Corvana development service on loopback."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1 (0 picks a free one)."),
                                  QStringLiteral("port"), QStringLiteral("4318"));
    const QCommandLineOption simulated(QStringLiteral("simulated"),
                                       QStringLiteral("Demo mode: a scripted sample, no provider calls."));
    const QCommandLineOption token(QStringLiteral("token"), QStringLiteral("Development device token (24-256 characters)."),
                                   QStringLiteral("token"));
    const QCommandLineOption bootstrap(QStringLiteral("bootstrap-file"),
                                       QStringLiteral("Write a connection file for the app to this path."),
                                       QStringLiteral("path"));
    const QCommandLineOption maxMinutes(QStringLiteral("max-session-minutes"),
                                        QStringLiteral("Longest session the account allows."), QStringLiteral("minutes"));
    const QCommandLineOption balance(QStringLiteral("balance-micros"), QStringLiteral("Wallet balance in micro-dollars."),
                                     QStringLiteral("micros"), QStringLiteral("5000000"));
    const QCommandLineOption timeScale(
        QStringLiteral("time-scale"),
        QStringLiteral("Multiplies the waits and times of the simulated sample (0.02 plays it in about 3 s)."),
        QStringLiteral("factor"), QStringLiteral("1"));
    const QCommandLineOption sampleRounds(
        QStringLiteral("sample-rounds"),
        QStringLiteral("Plays the simulated sample this many times back to back (1 to 1000), with ids of each round's own."),
        QStringLiteral("rounds"), QStringLiteral("1"));
    const QCommandLineOption freeSample(
        QStringLiteral("free-sample"),
        QStringLiteral("The simulated sample spends nothing, so a conversation can run for hours within its limit."));
    const QCommandLineOption scriptedAnswers(
        QStringLiteral("scripted-answers"),
        QStringLiteral("Live mode: answers every utterance with the script's answers instead of passages of the "
                       "session's library (the words are still recognised)."));
    const QCommandLineOption scriptedWords(
        QStringLiteral("scripted-words"),
        QStringLiteral("Live mode: takes the words too from the script, one word per 0.4 s of sound, for audio "
                       "without speech such as test tones (implies --scripted-answers)."));
    const QCommandLineOption speechModel(
        QStringLiteral("speech-model"),
        QStringLiteral("Folder of the PocketSphinx US English model (default: %1).")
            .arg(QString::fromLatin1(PocketSphinxRecognizer::defaultModelFolder)),
        QStringLiteral("folder"));
    parser.addOptions({port, simulated, token, bootstrap, maxMinutes, balance, timeScale, sampleRounds, freeSample,
                       scriptedAnswers, scriptedWords, speechModel});
    parser.process(app);

    DevService::Options options;
    bool ok = false;
    const uint portValue = parser.value(port).toUInt(&ok);
    if (!ok || portValue > 65535) {
        std::fprintf(stderr, "corvana-devservice: --port needs a number from 0 to 65535\n");
        return 2;
    }
    options.port = quint16(portValue);
    options.simulated = parser.isSet(simulated);
    options.freeSample = parser.isSet(freeSample);
    options.token = parser.value(token);
    if (parser.isSet(token) && (options.token.size() < 24 || options.token.size() > 256)) {
        std::fprintf(stderr, "corvana-devservice: --token needs 24 to 256 characters\n");
        return 2;
    }
    if (parser.isSet(maxMinutes)) {
        const qint64 minutes = parser.value(maxMinutes).toLongLong(&ok);
        if (!ok || minutes < 1) {
            std::fprintf(stderr, "corvana-devservice: --max-session-minutes needs a positive number\n");
            return 2;
        }
        options.maxSessionMinutes = minutes;
    }
    options.balanceMicros = parser.value(balance).toLongLong(&ok);
    if (!ok || options.balanceMicros < 0) {
        std::fprintf(stderr, "corvana-devservice: --balance-micros needs a number of micro-dollars\n");
        return 2;
    }

    options.timeScale = parser.value(timeScale).toDouble(&ok);
    if (!ok || !DevScenario::validTimeScale(options.timeScale)) {
        std::fprintf(stderr, "corvana-devservice: --time-scale needs a factor above 0 and at most 100\n");
        return 2;
    }

    const double rounds = parser.value(sampleRounds).toDouble(&ok);
    if (!ok || !DevScenario::validSampleRounds(rounds)) {
        std::fprintf(stderr, "corvana-devservice: --sample-rounds needs a whole number from 1 to 1000\n");
        return 2;
    }
    options.sampleRounds = int(rounds);

    options.scriptedAnswers = parser.isSet(scriptedAnswers) || parser.isSet(scriptedWords);
    options.words = parser.isSet(scriptedWords) ? DevService::Options::Words::Script
                                                : DevService::Options::Words::PocketSphinx;
    options.speechModel = parser.isSet(speechModel) ? parser.value(speechModel)
                                                    : QString::fromLatin1(PocketSphinxRecognizer::defaultModelFolder);
    if (!options.simulated && options.words == DevService::Options::Words::PocketSphinx) {
        if (const std::optional<QString> missing = PocketSphinxRecognizer::missingModel(options.speechModel)) {
            std::fprintf(stderr,
                         "corvana-devservice: the live mode needs the US English speech model of the package "
                         "pocketsphinx-en-us, and %s. Install it (sudo apt install pocketsphinx-en-us), or start "
                         "with --simulated for the scripted sample.\n",
                         qPrintable(*missing));
            return 1;
        }
    }

    DevService service(options);
    QString error;
    if (!service.listen(&error)) {
        std::fprintf(stderr, "corvana-devservice: cannot listen on 127.0.0.1:%u: %s\n", portValue, qPrintable(error));
        return 1;
    }
    if (parser.isSet(bootstrap)) {
        QSaveFile file(parser.value(bootstrap));
        const QJsonObject connection{{"serviceUrl", service.baseUrl()}, {"token", service.token()}};
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(connection).toJson(QJsonDocument::Compact)) < 0
            || !file.commit()) {
            std::fprintf(stderr, "corvana-devservice: cannot write %s: %s\n", qPrintable(parser.value(bootstrap)),
                         qPrintable(file.errorString()));
            return 1;
        }
    }
    std::printf("listening on %s token %s\n", qPrintable(service.baseUrl()), qPrintable(service.token()));
    std::fflush(stdout);
    return app.exec();
}
