#include "ScopedEnvironment.h"

#include "FailureOf.h"
#include "knowledge/PrivateKnowledgeStore.h"
#include "protocol/TessaroError.h"
#include "protocol/WireCoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString tooLargeToOpen = QStringLiteral("The local knowledge file is too large to open.");
const QString tooLargeToSave = QStringLiteral("Remove an imported document before adding more local knowledge.");


mode_t modeOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

KnowledgePassage passage(const QString &documentId, int number, const QString &text)
{
    return {documentId + QLatin1Char(':') + QString::number(number), documentId, QStringLiteral("Notes.pdf"),
            QStringLiteral("Page %1 \u00B7 passage 1").arg(number), text};
}

PrivateKnowledge sampleLibrary()
{
    PrivateKnowledge knowledge;
    KnowledgeDocument first;
    first.id = QStringLiteral("5f1c0a52-7d3e-4b8e-9a51-0c2f7e6d9b31");
    first.title = QStringLiteral("Notes.pdf");
    first.domainKey = PrivateKnowledge::domainKey(QStringLiteral("Cardiology"));
    first.enabled = true;
    first.fingerprint = PrivateKnowledge::digest("bytes of the file");
    first.importedAt = 786'543'210.123456;
    first.passages = {passage(first.id, 1, QStringLiteral("Quotes \u201Clike these\u201D, \"straight\" ones, a \\ and\nlines\ttabbed")),
                      passage(first.id, 2, QStringLiteral("Emoji \U0001F468\u200D\U0001F469\u200D\U0001F467, e\u0301, \u0001 control"))};
    KnowledgeDocument second = first;
    second.id = QStringLiteral("0b9e3c41-2f6a-4d07-8c15-6e4a9d2b7f80");
    second.title = QStringLiteral("Before 2001.md");
    second.enabled = false;
    second.importedAt = -12'345.5;
    second.passages = {passage(second.id, 1, QStringLiteral("Old text"))};
    knowledge.documents = {first, second};
    knowledge.learningEnabled = true;
    knowledge.preferences = {
        {QStringLiteral("8D0C4A9E-61B7-4F25-A3D8-5E9B2C7F1A06"), first.domainKey, QStringLiteral("AV node"),
         QStringLiteral("known"), QStringLiteral("Deeper"), 786'543'299.000001},
        {QStringLiteral("1E2F3A4B-5C6D-4E7F-8091-A2B3C4D5E6F7"), first.domainKey, QStringLiteral("QT interval"),
         QStringLiteral("normal"), QStringLiteral("Cue"), 0.25}};
    return knowledge;
}

// A copy of the JSON value with the member or element at `path` removed or replaced.
QJsonValue edited(const QJsonValue &value, QStringList path, const std::optional<QJsonValue> &replacement)
{
    const QString step = path.takeFirst();
    bool isIndex = false;
    const int index = step.toInt(&isIndex);
    if (isIndex) {
        QJsonArray array = value.toArray();
        array[index] = path.isEmpty() ? *replacement : edited(array[index], path, replacement);
        return array;
    }
    QJsonObject object = value.toObject();
    if (path.isEmpty()) {
        if (replacement)
            object[step] = *replacement;
        else
            object.remove(step);
    } else {
        object[step] = edited(object[step], path, replacement);
    }
    return object;
}

// Keeps the file size limit of the process lowered while it lives, with the signal that
// comes with exceeding it ignored, so that writes fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

class tst_PrivateKnowledgeStore : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;

    QString path(const QString &name) const { return m_folder->filePath(name); }
    QStringList entries() const
    {
        return QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
    }

    void cleanup()
    {
        // Folders made read-only by a test must be writable again to be removed.
        QFile::setPermissions(m_folder->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_folder.reset();
    }

    void folders()
    {
        const mode_t previousMask = ::umask(0);
        const QString folder = path(QStringLiteral("one/two/three"));
        QString failure = failureOf([&] { PrivateKnowledgeStore store(folder); });
        ::umask(previousMask);
        QCOMPARE(failure, QString());
        for (const char *made : {"one", "one/two", "one/two/three"})
            QCOMPARE(modeOf(path(QLatin1String(made))), mode_t(0700));
        QCOMPARE(PrivateKnowledgeStore(folder).url(), folder + QStringLiteral("/private-knowledge.json"));

        // A folder that exists keeps its permissions.
        QVERIFY(::chmod(QFile::encodeName(path(QStringLiteral("one"))).constData(), 0755) == 0);
        PrivateKnowledgeStore existing(path(QStringLiteral("one")));
        QCOMPARE(modeOf(path(QStringLiteral("one"))), mode_t(0755));

        writeFile(path(QStringLiteral("plain")), "not a folder");
        failure = failureOf([&] { PrivateKnowledgeStore store(path(QStringLiteral("plain/knowledge"))); });
        QVERIFY2(failure.contains(QStringLiteral("plain/knowledge")), qPrintable(failure));
    }

    void directoryFromTheEnvironmentOrUserData()
    {
        ScopedEnvironment environment;
        const QString folder = path(QStringLiteral("from-environment"));
        environment.set(PrivateKnowledgeStore::directoryVariable, QFile::encodeName(folder));
        QCOMPARE(PrivateKnowledgeStore::directory(), folder);
        QCOMPARE(PrivateKnowledgeStore().url(), folder + QStringLiteral("/private-knowledge.json"));
        QCOMPARE(modeOf(folder), mode_t(0700));
        // A directory handed over explicitly wins over the variable.
        QCOMPARE(PrivateKnowledgeStore(path(QStringLiteral("explicit"))).url(),
                 path(QStringLiteral("explicit/private-knowledge.json")));

        environment.set("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("xdg-data"))));
        environment.set(PrivateKnowledgeStore::directoryVariable, QByteArray());
        const QString expected = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                                 + QStringLiteral("/Corvana");
        QCOMPARE(PrivateKnowledgeStore::defaultDirectory(), expected);
        QCOMPARE(PrivateKnowledgeStore::directory(), expected);
        environment.unset(PrivateKnowledgeStore::directoryVariable);
        QCOMPARE(PrivateKnowledgeStore::directory(), expected);
        QCOMPARE(PrivateKnowledgeStore(QString()).url(), expected + QStringLiteral("/private-knowledge.json"));
    }

    // Saved as compact JSON in field order, owner-only, and read back equal.
    void savedLibraryLoadsBack()
    {
        const QString folder = path(QStringLiteral("private"));
        const PrivateKnowledgeStore store(folder);
        QCOMPARE(store.load(), PrivateKnowledge());
        QVERIFY(!QFileInfo::exists(store.url()));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());

        const PrivateKnowledge saved = sampleLibrary();
        const mode_t previousMask = ::umask(0);
        const QString failure = failureOf([&] { store.save(saved); });
        ::umask(previousMask);
        QCOMPARE(failure, QString());
        QCOMPARE(modeOf(store.url()), mode_t(0600));
        const QByteArray bytes = contentsOf(store.url());
        for (const char *part : {"\"enabled\":true,\"fingerprint\":", "\"importedAt\":786543210.123456,\"passages\":[{\"id\":",
                                 "],\"learningEnabled\":true,\"preferences\":[{\"id\":\"8D0C4A9E",
                                 "\"style\":\"Deeper\",\"updatedAt\":786543299.000001}"})
            QVERIFY2(bytes.contains(part), part);
        QVERIFY(bytes.startsWith("{\"documents\":[{\"id\":\"5f1c0a52-7d3e-4b8e-9a51-0c2f7e6d9b31\",\"title\":"));
        QVERIFY(bytes.endsWith("}]}") && !bytes.contains('\n') && !bytes.contains(": "));

        const PrivateKnowledge loaded = store.load();
        QCOMPARE(loaded.documents.size(), 2);
        QCOMPARE(loaded.documents[0].importedAt, 786'543'210.123456);
        QCOMPARE(loaded.documents[1].importedAt, -12'345.5);
        QCOMPARE(loaded.preferences[0].updatedAt, 786'543'299.000001);
        QVERIFY(loaded == saved);

        // Saving again replaces the whole file, and makes a file someone opened up private again.
        QVERIFY(::chmod(QFile::encodeName(store.url()).constData(), 0644) == 0);
        PrivateKnowledge changed = saved;
        changed.documents.removeFirst();
        changed.learningEnabled = false;
        store.save(changed);
        QVERIFY(store.load() == changed);
        QCOMPARE(modeOf(store.url()), mode_t(0600));
        store.save(PrivateKnowledge());
        QCOMPARE(contentsOf(store.url()), QByteArray("{\"documents\":[],\"learningEnabled\":false,\"preferences\":[]}"));
    }

    // A save that cannot happen keeps the previous file, and leaves no temporary file.
    void failedSaveKeepsThePreviousFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("failure");
        const QString couldNot = QStringLiteral("The file \u201Cprivate-knowledge.json\u201D couldn\u2019t be saved: ");
        QTest::newRow("8,000,000 bytes") << "fits" << QString();
        QTest::newRow("8,000,001 bytes") << "too large" << tooLargeToSave;
        QTest::newRow("write fails") << "file size limit" << couldNot;
        QTest::newRow("read-only folder") << "read-only" << couldNot;
        QTest::newRow("file is a folder") << "folder" << couldNot;
    }

    void failedSaveKeepsThePreviousFile()
    {
        QFETCH(QString, how);
        QFETCH(QString, failure);
        if (how == QLatin1String("read-only") && ::geteuid() == 0)
            QSKIP("the superuser writes into read-only folders");
        const PrivateKnowledgeStore store(m_folder->path());
        const PrivateKnowledge previous = sampleLibrary();
        if (how == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(store.url()));
        else
            store.save(previous);
        const QByteArray previousBytes = contentsOf(store.url());

        PrivateKnowledge next = sampleLibrary();
        next.documents[0].passages[0].text.clear();
        const qint64 size = how == QLatin1String("too large") ? 8'000'001 : 8'000'000;
        next.documents[0].passages[0].text = QString(size - wire::encode(next).size(), QLatin1Char('x'));
        QCOMPARE(qint64(wire::encode(next).size()), size);
        QString failed;
        if (how == QLatin1String("file size limit")) {
            // Writes beyond 16 KB fail while the limit holds, for root as well.
            FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.active());
            failed = failureOf([&] { store.save(next); });
        } else {
            if (how == QLatin1String("read-only"))
                QVERIFY(QFile::setPermissions(m_folder->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            failed = failureOf([&] { store.save(next); });
        }
        QVERIFY2(failure.isEmpty() ? failed.isEmpty() : failed.startsWith(failure), qPrintable(failed));
        if (failure.isEmpty()) {
            QCOMPARE(QFileInfo(store.url()).size(), size);
            QVERIFY(store.load() == next);
        } else if (how == QLatin1String("folder")) {
            QVERIFY(QFileInfo(store.url()).isDir());
            QVERIFY2(!failureOf([&] { store.load(); }).isEmpty(), "a folder must not load as a library");
        } else {
            QCOMPARE(contentsOf(store.url()), previousBytes);
            QVERIFY(store.load() == previous);
        }
        QCOMPARE(entries(), QStringList{QStringLiteral("private-knowledge.json")});
    }

    // Files that are no library, or too large to read, are refused and left as they are.
    void loadRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("size"); // padded with blanks, or sparse when larger than the bytes
        QTest::addColumn<QString>("failure"); // "*": any failure
        const QByteArray empty = "{\"documents\":[],\"learningEnabled\":true,\"preferences\":[]}";
        QTest::newRow("8,000,000 bytes") << empty << qint64(8'000'000) << QString();
        QTest::newRow("8,000,001 bytes") << empty << qint64(8'000'001) << tooLargeToOpen;
        // A sparse file of 64 GB: reading it would exhaust memory long before the end.
        QTest::newRow("64 GB") << QByteArray() << qint64(64) * 1024 * 1024 * 1024 << tooLargeToOpen;
        QTest::newRow("empty") << QByteArray() << qint64(0) << "*";
        QTest::newRow("not JSON") << QByteArray("documents: none") << qint64(0) << "*";
        QTest::newRow("cut short") << wire::encode(sampleLibrary()).chopped(5) << qint64(0) << "*";
        QTest::newRow("an array") << QByteArray("[]") << qint64(0) << "*";
        QTest::newRow("an empty object") << QByteArray("{}") << qint64(0) << "*";
    }

    void loadRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, size);
        QFETCH(QString, failure);
        const PrivateKnowledgeStore store(m_folder->path());
        if (!bytes.isEmpty() || size == 0)
            writeFile(store.url(), bytes + QByteArray(std::max<qint64>(size - bytes.size(), 0), ' '));
        if (bytes.isEmpty() && size > 0) {
            QFile file(store.url());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        }
        PrivateKnowledge loaded;
        const QString failed = failureOf([&] { loaded = store.load(); });
        QVERIFY2(failure == QLatin1String("*") ? !failed.isEmpty() : failed == failure, qPrintable(failed));
        if (failure.isEmpty())
            QVERIFY(loaded.learningEnabled);
        QCOMPARE(QFileInfo(store.url()).size(), std::max<qint64>(size, bytes.size()));
    }

    void malformedFileIsRefused_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QJsonValue>("replacement"); // undefined: the member is removed
        QTest::addColumn<QString>("named");

        const QJsonValue removed(QJsonValue::Undefined);
        const auto missing = [&](const char *name, const QStringList &path) {
            QTest::addRow("missing %s", name) << path << removed << path.last();
        };
        missing("documents", {"documents"});
        missing("learningEnabled", {"learningEnabled"});
        missing("preferences", {"preferences"});
        for (const char *key : {"id", "title", "domainKey", "enabled", "fingerprint", "importedAt", "passages"})
            missing(qPrintable(QStringLiteral("document %1").arg(QLatin1String(key))),
                    {"documents", "0", QLatin1String(key)});
        for (const char *key : {"id", "documentId", "title", "location", "text"})
            missing(qPrintable(QStringLiteral("passage %1").arg(QLatin1String(key))),
                    {"documents", "1", "passages", "0", QLatin1String(key)});
        for (const char *key : {"id", "domainKey", "topic", "prominence", "style", "updatedAt"})
            missing(qPrintable(QStringLiteral("preference %1").arg(QLatin1String(key))),
                    {"preferences", "1", QLatin1String(key)});

        QTest::newRow("documents is an object") << QStringList{"documents"} << QJsonValue(QJsonObject()) << "documents";
        QTest::newRow("learningEnabled is a string")
            << QStringList{"learningEnabled"} << QJsonValue(QStringLiteral("true")) << "learningEnabled";
        QTest::newRow("learningEnabled is a number")
            << QStringList{"learningEnabled"} << QJsonValue(1) << "learningEnabled";
        QTest::newRow("learningEnabled is null")
            << QStringList{"learningEnabled"} << QJsonValue(QJsonValue::Null) << "learningEnabled";
        QTest::newRow("enabled is a string")
            << QStringList{"documents", "0", "enabled"} << QJsonValue(QStringLiteral("yes")) << "enabled";
        QTest::newRow("importedAt is a string")
            << QStringList{"documents", "0", "importedAt"} << QJsonValue(QStringLiteral("2025-01-01T00:00:00Z"))
            << "importedAt";
        QTest::newRow("title is a number") << QStringList{"documents", "0", "title"} << QJsonValue(7) << "title";
        QTest::newRow("passage is a string")
            << QStringList{"documents", "0", "passages", "1"} << QJsonValue(QStringLiteral("text")) << "passages";
        QTest::newRow("passage text is null")
            << QStringList{"documents", "0", "passages", "0", "text"} << QJsonValue(QJsonValue::Null) << "text";
        QTest::newRow("updatedAt is a Boolean")
            << QStringList{"preferences", "0", "updatedAt"} << QJsonValue(true) << "updatedAt";
        QTest::newRow("preferences holds an array")
            << QStringList{"preferences", "0"} << QJsonValue(QJsonArray()) << "preferences";
    }

    void malformedFileIsRefused()
    {
        QFETCH(QStringList, path);
        QFETCH(QJsonValue, replacement);
        QFETCH(QString, named);
        const PrivateKnowledgeStore store(m_folder->path());
        const QJsonValue valid = QJsonDocument::fromJson(wire::encode(sampleLibrary())).object();
        const std::optional<QJsonValue> change =
            replacement.isUndefined() ? std::nullopt : std::optional<QJsonValue>(replacement);
        writeFile(store.url(), QJsonDocument(edited(valid, path, change).toObject()).toJson());

        const QString failure = failureOf([&] { store.load(); });
        QVERIFY2(failure.contains(named), qPrintable(failure));
        // The file is left for the user; nothing is rewritten.
        QVERIFY(QFileInfo(store.url()).size() > 0);
    }

    void unknownMembersAreIgnored()
    {
        const PrivateKnowledgeStore store(m_folder->path());
        QJsonObject object = QJsonDocument::fromJson(wire::encode(sampleLibrary())).object();
        object[QStringLiteral("writtenBy")] = QStringLiteral("a later version");
        writeFile(store.url(), QJsonDocument(object).toJson(QJsonDocument::Indented));
        QVERIFY(store.load() == sampleLibrary());
    }
};

QTEST_GUILESS_MAIN(tst_PrivateKnowledgeStore)
#include "tst_PrivateKnowledgeStore.moc"
