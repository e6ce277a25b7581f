#pragma once

#include "SpeechRecognizer.h"

#include <QList>

#include <optional>

typedef struct ps_decoder_s ps_decoder_t;

// PocketSphinx with a US English model (the acoustic model, the language model
// "en-us.lm.bin" and the dictionary "cmudict-en-us.dict" in one folder, as the package
// pocketsphinx-en-us installs them). The model's configuration is read once per process
// and shared. Each recogniser has a decoder of its own while it lives (PocketSphinx's
// language model keeps a look-up cache that decoders on other threads must not share);
// a recogniser that goes leaves its decoder for the next one, so a new session does not
// read the model again.
class PocketSphinxRecognizer : public SpeechRecognizer {
public:
    static constexpr const char *defaultModelFolder = "/usr/share/pocketsphinx/model/en-us";

    // Why the model in `folder` cannot be used (a file missing), or nothing when it can.
    static std::optional<QString> missingModel(const QString &folder);

    // A decoder of the model in `folder`; `ready()` says whether it could be made.
    explicit PocketSphinxRecognizer(const QString &folder = QString::fromLatin1(defaultModelFolder));
    ~PocketSphinxRecognizer() override;
    PocketSphinxRecognizer(const PocketSphinxRecognizer &) = delete;
    PocketSphinxRecognizer &operator=(const PocketSphinxRecognizer &) = delete;

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

    QString m_folder;
    ps_decoder_t *m_decoder = nullptr;
    bool m_open = false;
};
