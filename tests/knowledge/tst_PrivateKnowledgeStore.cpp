#include "ScopedEnvironment.h"

#include "FailureOf.h"
#include "TestFiles.h"
#include "knowledge/PrivateKnowledgeStore.h"
#include "protocol/TessaroError.h"
#include "protocol/WireCoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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

PrivateKnowledge sampleLibrary()
{
    PrivateKnowledge knowledge;
    const QString domain = PrivateKnowledge::domainKey(QStringLiteral("Cardiology"));
    const QString id = QStringLiteral("5f1c0a52-7d3e-4b8e-9a51-0c2f7e6d9b31");
    knowledge.documents = {{id, QStringLiteral("Notes.pdf"), domain, true, PrivateKnowledge::digest("bytes of the file"),
                            786'543'210.123456, {{id + ":1", id, QStringLiteral("Notes.pdf"), "Page 1", "Text"}}},
                           {"0b9e3c41", QStringLiteral("Before 2001.md"), domain, false, "f", -12'345.5, {}}};
    knowledge.learningEnabled = true;
    knowledge.preferences = {{"8D0C4A9E", domain, "AV node", "known", "Deeper", 786'543'299.000001}};
    return knowledge;
}

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

        // A folder that exists keeps its permissions.
        QVERIFY(::chmod(QFile::encodeName(path(QStringLiteral("one"))).constData(), 0755) == 0);
        PrivateKnowledgeStore existing(path(QStringLiteral("one")));
        QCOMPARE(modeOf(path(QStringLiteral("one"))), mode_t(0755));

        QVERIFY(writeFile(path(QStringLiteral("plain")), "not a folder"));
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

        const PrivateKnowledge saved = sampleLibrary();
        const mode_t previousMask = ::umask(0);
        const QString failure = failureOf([&] { store.save(saved); });
        ::umask(previousMask);
        QCOMPARE(failure, QString());
        QCOMPARE(modeOf(store.url()), mode_t(0600));
        QCOMPARE(fileContents(store.url()), wire::encode(saved));
        QVERIFY(store.load() == saved);

        // Saving again replaces the whole file, and makes a file someone opened up private again.
        QVERIFY(::chmod(QFile::encodeName(store.url()).constData(), 0644) == 0);
        PrivateKnowledge changed = saved;
        changed.documents.removeFirst();
        changed.learningEnabled = false;
        store.save(changed);
        QVERIFY(store.load() == changed);
        QCOMPARE(modeOf(store.url()), mode_t(0600));
    }

    // A save that cannot happen keeps the previous file, and leaves no temporary file.
    void failedSaveKeepsThePreviousFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("failure");
        const QString couldNot = QStringLiteral("The file \u201Cprivate-knowledge.json\u201D couldn\u2019t be saved: ");
        QTest::newRow("8,000,000 bytes") << "fits" << QString();
        QTest::newRow("8,000,001 bytes") << "too large" << tooLargeToSave;
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
        const QByteArray previousBytes = fileContents(store.url());

        PrivateKnowledge next = sampleLibrary();
        const qint64 size = how == QLatin1String("too large") ? 8'000'001 : 8'000'000;
        next.documents[0].passages[0].text.clear();
        next.documents[0].passages[0].text = QString(size - wire::encode(next).size(), QLatin1Char('x'));
        QCOMPARE(qint64(wire::encode(next).size()), size);
        if (how == QLatin1String("read-only"))
            QVERIFY(QFile::setPermissions(m_folder->path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const QString failed = failureOf([&] { store.save(next); });
        QVERIFY2(failure.isEmpty() ? failed.isEmpty() : failed.startsWith(failure), qPrintable(failed));
        if (failure.isEmpty()) {
            QCOMPARE(QFileInfo(store.url()).size(), size);
            QVERIFY(store.load() == next);
        } else if (how == QLatin1String("folder")) {
            QVERIFY(QFileInfo(store.url()).isDir());
            QVERIFY2(!failureOf([&] { store.load(); }).isEmpty(), "a folder must not load as a library");
        } else {
            QCOMPARE(fileContents(store.url()), previousBytes);
            QVERIFY(store.load() == previous);
        }
        QCOMPARE(entries(), QStringList{QStringLiteral("private-knowledge.json")});
    }

    // Files that are no library, or too large to read, are refused and left as they are.
    void loadRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("size"); // padded with blanks, or sparse when larger than the bytes
        QTest::addColumn<QString>("failure"); // a part of the message; empty when the file loads
        const QByteArray empty = "{\"documents\":[],\"learningEnabled\":true,\"preferences\":[]}";
        QTest::newRow("8,000,000 bytes") << empty << qint64(8'000'000) << QString();
        QTest::newRow("8,000,001 bytes") << empty << qint64(8'000'001) << tooLargeToOpen;
        // A sparse file of 64 GB: reading it would exhaust memory long before the end.
        QTest::newRow("64 GB") << QByteArray() << qint64(64) * 1024 * 1024 * 1024 << tooLargeToOpen;
        QTest::newRow("empty") << QByteArray() << qint64(0) << "is not valid JSON";
        QTest::newRow("cut short") << wire::encode(sampleLibrary()).chopped(5) << qint64(0) << "is not valid JSON";
        // The decoding failure names the member.
        QTest::newRow("a document without title")
            << QByteArray(R"({"documents":[{"id":"d"}],"learningEnabled":true,"preferences":[]})") << qint64(0) << "title";
    }

    void loadRefused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, size);
        QFETCH(QString, failure);
        const PrivateKnowledgeStore store(m_folder->path());
        if (!bytes.isEmpty() || size == 0)
            QVERIFY(writeFile(store.url(), bytes + QByteArray(std::max<qint64>(size - bytes.size(), 0), ' ')));
        if (bytes.isEmpty() && size > 0) {
            QFile file(store.url());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        }
        PrivateKnowledge loaded;
        const QString failed = failureOf([&] { loaded = store.load(); });
        QVERIFY2(failure.isEmpty() ? failed.isEmpty() : failed.contains(failure), qPrintable(failed));
        if (failure.isEmpty())
            QVERIFY(loaded.learningEnabled);
        QCOMPARE(QFileInfo(store.url()).size(), std::max<qint64>(size, bytes.size()));
    }
};

QTEST_GUILESS_MAIN(tst_PrivateKnowledgeStore)
#include "tst_PrivateKnowledgeStore.moc"
