// The private knowledge file as PrivateKnowledgeStore loads it at start-up. A library that
// loads must save and load back as saved, and what the session and the learned preferences
// read from it must work on whatever the file held.

#include "FuzzSupport.h"

#include "knowledge/PrivateKnowledgeStore.h"
#include "protocol/TessaroError.h"

namespace {

const PrivateKnowledgeStore &store()
{
    static const PrivateKnowledgeStore made(fuzz::scratchFolder() + QStringLiteral("/knowledge"));
    return made;
}

// Whether every text of the library is well-formed UTF-16 (no unpaired surrogate).
bool wellFormed(const PrivateKnowledge &knowledge)
{
    const auto valid = [](std::initializer_list<const QString *> texts) {
        for (const QString *text : texts) {
            if (!text->isValidUtf16())
                return false;
        }
        return true;
    };
    for (const KnowledgeDocument &document : knowledge.documents) {
        if (!valid({&document.id, &document.title, &document.domainKey, &document.fingerprint}))
            return false;
        for (const KnowledgePassage &passage : document.passages) {
            if (!valid({&passage.id, &passage.documentId, &passage.title, &passage.location, &passage.text}))
                return false;
        }
    }
    for (const LearnedPreference &preference : knowledge.preferences) {
        if (!valid({&preference.id, &preference.domainKey, &preference.topic, &preference.prominence,
                    &preference.style}))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    store();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::writeFile(store().url(), fuzz::bytes(data, size));
    PrivateKnowledge knowledge;
    try {
        knowledge = store().load();
    } catch (const TessaroError &) {
        return 0;
    }

    // What a session start and an answer's preference check read from the library.
    const QString domain = QStringLiteral("Cardiology");
    (void)knowledge.passages(domain);
    for (const KnowledgeDocument &document : knowledge.documents)
        (void)knowledge.passages(document.title);
    PreparedAnswer answer;
    answer.question = QStringLiteral("Actually, what changed?");
    for (const LearnedPreference &preference : knowledge.preferences) {
        answer.title = preference.topic;
        (void)knowledge.shouldQuiet(domain, answer);
    }

    // What is saved loads back as it was written. (Text is written as UTF-8, which has no
    // form for an unpaired surrogate escaped in the file: that one comes back replaced.)
    try {
        const QByteArray written = wire::encode(knowledge);
        store().save(knowledge);
        const PrivateKnowledge loaded = store().load();
        FUZZ_CHECK(wire::encode(loaded) == written, QString::fromUtf8(written.left(200)));
        // Where all text has a UTF-8 form, nothing changed on the way, dates included.
        if (wellFormed(knowledge))
            FUZZ_CHECK(loaded == knowledge, QString::fromUtf8(written.left(200)));
    } catch (const TessaroError &error) {
        fuzz::broken("a loaded library saves and loads back", error.description());
    }
    return 0;
}
