#pragma once

#include "SpeechRecognizer.h"

#include <QList>
#include <QStringList>

#include <optional>

typedef struct ps_decoder_s ps_decoder_t;

// PocketSphinx with a US English model (the acoustic model, the language model
// "en-us.lm.bin" and the dictionary "cmudict-en-us.dict" in one folder, as the package
// pocketsphinx-en-us installs them). The language model and the configuration are read
// once per process and shared; each recogniser has a decoder of its own while it lives,
// and a recogniser that goes leaves its decoder for the next one, so a new session does
// not read the model again. Calls into the decoders of one model take turns.
class PocketSphinxRecognizer : public SpeechRecognizer {
public:
    static constexpr const char *defaultModelFolder = "/usr/share/pocketsphinx/model/en-us";

    // Why the model in `folder` cannot be used (a file missing), or nothing when it can.
    static std::optional<QString> missingModel(const QString &folder);

    // How many of the language model's likeliest words every decoder can hear.
    static constexpr int commonWordCount = 40'000;

    // A decoder of the model in `folder` that can also hear the words of `vocabulary` (the
    // session's library) which the language model knows; `ready()` says whether it could
    // be made.
    explicit PocketSphinxRecognizer(const QString &folder = QString::fromLatin1(defaultModelFolder),
                                    const QStringList &vocabulary = {});
    ~PocketSphinxRecognizer() override;
    PocketSphinxRecognizer(const PocketSphinxRecognizer &) = delete;
    PocketSphinxRecognizer &operator=(const PocketSphinxRecognizer &) = delete;

    struct Model;  // a model folder loaded once and shared by its decoders

    bool ready() const { return m_decoder != nullptr; }

    struct Word {
        QString text;
        double startMs = 0;  // from the utterance's first sample
        double endMs = 0;
    };
    // The words of the utterance last finished, with where each was heard; fillers and
    // silences left out.
    QList<Word> words() const;

    void begin(int ordinal) override;
    void feed(const qint16 *samples, std::size_t count) override;
    QString partial() override;
    QString finish() override;

private:
    QString hypothesis() const;
    void addWords(const QStringList &vocabulary);

    Model *m_model = nullptr;
    ps_decoder_t *m_decoder = nullptr;
    bool m_open = false;
};
