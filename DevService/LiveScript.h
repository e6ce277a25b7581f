#pragma once

#include "protocol/KnowledgePassage.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/Transcript.h"

#include <QList>
#include <QString>

// What the live mode says it heard and what it prepares, in place of a speech recogniser:
// a cycle of sentences from the product review of a machine-learning support assistant,
// each about one topic, and the prepared answer for each topic. An utterance begins with
// the next sentence of the cycle and reveals one word per `msPerWord` of its speech,
// running on into the following sentences when it lasts long.
class LiveScript {
public:
    static constexpr double msPerWord = 400;        // 150 words a minute
    static constexpr qsizetype maximumWords = 200;  // far beyond the longest utterance

    enum class Stage { Preparing, Ready, Complete };

    // Answer ids start with `idPrefix`; answers cite the `knowledge` passages that name
    // their topic.
    LiveScript(QString idPrefix, QList<KnowledgePassage> knowledge);

    // The sentence the next utterance begins with; the cycle moves on.
    int nextSentence();
    // How many words `speechMs` of speech reveal: whole words while the utterance lasts,
    // the nearest count (at least one) once it has ended.
    static qsizetype wordsHeard(double speechMs, bool final);
    // The first `count` words of the cycle from sentence `first` on.
    static QString words(int first, qsizetype count);

    // The complete answer for the utterance that began with sentence `first`, said where
    // `segment` was heard. Each answer gets an id of its own.
    PreparedAnswer answerFor(int first, const Transcript &segment);
    // The answer as it stands at a stage of its preparation: preparing (no texts yet),
    // ready with cue and Deeper, or complete with every form and the follow-ups.
    static PreparedAnswer staged(PreparedAnswer complete, Stage stage);

private:
    QString m_idPrefix;
    QList<KnowledgePassage> m_knowledge;
    int m_nextSentence = 0;
    int m_answers = 0;
};
