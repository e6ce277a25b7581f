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

    // Location

    void createsTheFolderOwnerOnly()
    {
        const mode_t previousMask = ::umask(0);
        const QString folder = path(QStringLiteral("one/two/three"));
        QString failure = failureOf([&] { PrivateKnowledgeStore store(folder); });
        ::umask(previousMask);
        QCOMPARE(failure, QString());
        QCOMPARE(modeOf(folder), mode_t(0700));
        QCOMPARE(modeOf(path(QStringLiteral("one/two"))), mode_t(0700));
        QCOMPARE(modeOf(path(QStringLiteral("one"))), mode_t(0700));
        QCOMPARE(PrivateKnowledgeStore(folder).url(), folder + QStringLiteral("/private-knowledge.json"));
    }

    void existingFolderKeepsItsPermissions()
    {
        const QString folder = path(QStringLiteral("shared"));
        QVERIFY(QDir().mkdir(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
        PrivateKnowledgeStore store(folder);
        QCOMPARE(modeOf(folder), mode_t(0755));
    }

    void folderThatIsAFileIsRefused()
    {
        writeFile(path(QStringLiteral("plain")), "not a folder");
        const QString failure = failureOf([&] { PrivateKnowledgeStore store(path(QStringLiteral("plain/knowledge"))); });
        QVERIFY2(failure.contains(QStringLiteral("plain/knowledge")), qPrintable(failure));
    }

    void directoryComesFromTheEnvironment()
    {
        ScopedEnvironment environment;
        const QString folder = path(QStringLiteral("from-environment"));
        environment.set(PrivateKnowledgeStore::directoryVariable, QFile::encodeName(folder));
        QCOMPARE(PrivateKnowledgeStore::directory(), folder);
        const PrivateKnowledgeStore store;
        QCOMPARE(store.url(), folder + QStringLiteral("/private-knowledge.json"));
        QCOMPARE(modeOf(folder), mode_t(0700));
        // A directory handed over explicitly wins over the variable.
        QCOMPARE(PrivateKnowledgeStore(path(QStringLiteral("explicit"))).url(),
                 path(QStringLiteral("explicit/private-knowledge.json")));
    }

    void defaultDirectoryIsInTheUserDataFolder()
    {
        ScopedEnvironment environment;
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

    // Loading and saving

    void emptyFolderLoadsTheEmptyLibrary()
    {
        const PrivateKnowledgeStore store(m_folder->path());
        QCOMPARE(store.load(), PrivateKnowledge());
        QVERIFY(!QFileInfo::exists(store.url()));
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }

    void savedLibraryLoadsBackEqual()
    {
        const PrivateKnowledgeStore store(m_folder->path());
        const PrivateKnowledge saved = sampleLibrary();
        store.save(saved);
        const PrivateKnowledge loaded = store.load();
        QCOMPARE(loaded.documents.size(), 2);
        QCOMPARE(loaded.documents[0].importedAt, 786'543'210.123456);
        QCOMPARE(loaded.documents[1].importedAt, -12'345.5);
        QCOMPARE(loaded.preferences[0].updatedAt, 786'543'299.000001);
        QVERIFY(loaded == saved);

        // Saving again replaces the whole file.
        PrivateKnowledge changed = saved;
        changed.documents.removeFirst();
        changed.learningEnabled = false;
        store.save(changed);
        QVERIFY(store.load() == changed);
    }

    void fileIsCompactJsonInFieldOrder()
    {
        const PrivateKnowledgeStore store(m_folder->path());
        store.save(sampleLibrary());
        const QByteArray bytes = contentsOf(store.url());
        QVERIFY(bytes.startsWith("{\"documents\":[{\"id\":\"5f1c0a52-7d3e-4b8e-9a51-0c2f7e6d9b31\",\"title\":"));
        QVERIFY(bytes.contains("\"enabled\":true,\"fingerprint\":"));
        QVERIFY(bytes.contains("\"importedAt\":786543210.123456,\"passages\":[{\"id\":"));
        QVERIFY(bytes.contains("],\"learningEnabled\":true,\"preferences\":[{\"id\":\"8D0C4A9E"));
        QVERIFY(bytes.contains("\"style\":\"Deeper\",\"updatedAt\":786543299.000001}"));
        QVERIFY(bytes.endsWith("}]}"));
        QVERIFY(!bytes.contains('\n'));
        QVERIFY(!bytes.contains(": "));

        PrivateKnowledgeStore(path(QStringLiteral("empty"))).save(PrivateKnowledge());
        QCOMPARE(contentsOf(path(QStringLiteral("empty/private-knowledge.json"))),
                 QByteArray("{\"documents\":[],\"learningEnabled\":false,\"preferences\":[]}"));
    }

    void fileIsOwnerOnly()
    {
        const mode_t previousMask = ::umask(0);
        const QString folder = path(QStringLiteral("private"));
        const QString failure = failureOf([&] {
            const PrivateKnowledgeStore store(folder);
            store.save(sampleLibrary());
        });
        ::umask(previousMask);
        QCOMPARE(failure, QString());
        const QString file = folder + QStringLiteral("/private-knowledge.json");
        QCOMPARE(modeOf(file), mode_t(0600));
        QCOMPARE(modeOf(folder), mode_t(0700));

        // A file someone opened up is made private again by the next save.
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0644) == 0);
        PrivateKnowledgeStore(folder).save(PrivateKnowledge());
        QCOMPARE(modeOf(file), mode_t(0600));
    }

    void fileAtTheSizeLimitLoads_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("failure");
        QTest::newRow("8,000,000 bytes") << qint64(8'000'000) << QString();
        QTest::newRow("8,000,001 bytes") << qint64(8'000'001) << tooLargeToOpen;
    }

    void fileAtTheSizeLimitLoads()
    {
        QFETCH(qint64, size);
        QFETCH(QString, failure);
        const PrivateKnowledgeStore store(m_folder->path());
        // A valid library followed by blanks up to the size.
        QByteArray bytes = "{\"documents\":[],\"learningEnabled\":true,\"preferences\":[]}";
        bytes += QByteArray(size - bytes.size(), ' ');
        writeFile(store.url(), bytes);

        PrivateKnowledge loaded;
        QCOMPARE(failureOf([&] { loaded = store.load(); }), failure);
        if (failure.isEmpty())
            QVERIFY(loaded.learningEnabled);
    }

    void hugeFileIsRefusedWithoutReadingIt()
    {
        const PrivateKnowledgeStore store(m_folder->path());
        QFile file(store.url());
        QVERIFY(file.open(QIODevice::WriteOnly));
        // A sparse file of 64 GB: reading it would exhaust memory long before the end.
        QVERIFY(file.resize(qint64(64) * 1024 * 1024 * 1024));
        file.close();
        QCOMPARE(failureOf([&] { store.load(); }), tooLargeToOpen);
    }

    void libraryAtTheSizeLimitSaves_data()
    {
        QTest::addColumn<qint64>("encodedSize");
        QTest::addColumn<QString>("failure");
        QTest::newRow("8,000,000 bytes") << qint64(8'000'000) << QString();
        QTest::newRow("8,000,001 bytes") << qint64(8'000'001) << tooLargeToSave;
    }

    void libraryAtTheSizeLimitSaves()
    {
        QFETCH(qint64, encodedSize);
        QFETCH(QString, failure);
        const PrivateKnowledgeStore store(m_folder->path());
        const PrivateKnowledge previous = sampleLibrary();
        store.save(previous);
        const QByteArray previousBytes = contentsOf(store.url());

        PrivateKnowledge large = sampleLibrary();
        large.documents[0].passages[0].text.clear();
        const qint64 baseSize = wire::encode(large).size();
        large.documents[0].passages[0].text = QString(encodedSize - baseSize, QLatin1Char('x'));
        QCOMPARE(qint64(wire::encode(large).size()), encodedSize);

        QCOMPARE(failureOf([&] { store.save(large); }), failure);
        if (failure.isEmpty()) {
            QCOMPARE(QFileInfo(store.url()).size(), encodedSize);
            QVERIFY(store.load() == large);
        } else {
            QCOMPARE(contentsOf(store.url()), previousBytes);
            QVERIFY(store.load() == previous);
        }
    }

    void failedWriteKeepsThePreviousFile()
    {
        const PrivateKnowledgeStore store(m_folder->path());
        const PrivateKnowledge previous = sampleLibrary();
        store.save(previous);
        const QByteArray previousBytes = contentsOf(store.url());

        PrivateKnowledge larger = previous;
        larger.documents[0].passages[0].text = QString(200'000, QLatin1Char('y'));
        QString failure;
        {
            // Writes beyond 16 KB fail while the limit holds, for root as well.
            FileSizeLimit limit(16 * 1024);
            QVERIFY(limit.active());
            failure = failureOf([&] { store.save(larger); });
        }
        QVERIFY2(failure.startsWith(QStringLiteral("The file \u201Cprivate-knowledge.json\u201D couldn\u2019t be saved: ")),
                 qPrintable(failure));
        QCOMPARE(contentsOf(store.url()), previousBytes);
        QVERIFY(store.load() == previous);
        // No temporary file is left behind.
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("private-knowledge.json")});
    }

    void readOnlyFolderKeepsThePreviousFile()
    {
        if (::geteuid() == 0)
            QSKIP("the superuser writes into read-only folders");
        const PrivateKnowledgeStore store(m_folder->path());
        const PrivateKnowledge previous = sampleLibrary();
        store.save(previous);
        const QByteArray previousBytes = contentsOf(store.url());
        QVERIFY(QFile::setPermissions(m_folder->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));

        const QString failure = failureOf([&] { store.save(PrivateKnowledge()); });
        QVERIFY2(failure.startsWith(QStringLiteral("The file \u201Cprivate-knowledge.json\u201D couldn\u2019t be saved: ")),
                 qPrintable(failure));
        QCOMPARE(contentsOf(store.url()), previousBytes);
        QVERIFY(store.load() == previous);
    }

    void fileThatIsAFolderFailsClearly()
    {
        const PrivateKnowledgeStore store(m_folder->path());
        QVERIFY(QDir().mkdir(store.url()));
        const QString saveFailure = failureOf([&] { store.save(sampleLibrary()); });
        QVERIFY2(saveFailure.startsWith(QStringLiteral("The file \u201Cprivate-knowledge.json\u201D couldn\u2019t be saved: ")),
                 qPrintable(saveFailure));
        QVERIFY(QFileInfo(store.url()).isDir());
        const QString loadFailure = failureOf([&] { store.load(); });
        QVERIFY2(!loadFailure.isEmpty(), "a folder must not load as a library");
    }

    // Strict reading

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

    void fileThatIsNotALibraryIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not JSON") << QByteArray("documents: none");
        QTest::newRow("cut short") << wire::encode(sampleLibrary()).chopped(5);
        QTest::newRow("an array") << QByteArray("[]");
        QTest::newRow("an empty object") << QByteArray("{}");
    }

    void fileThatIsNotALibraryIsRefused()
    {
        QFETCH(QByteArray, bytes);
        const PrivateKnowledgeStore store(m_folder->path());
        writeFile(store.url(), bytes);
        QVERIFY(!failureOf([&] { store.load(); }).isEmpty());
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
