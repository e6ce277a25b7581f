#include "model/SessionModel.h"

#include "FakePlatform.h"
#include "RunTask.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString imported = QStringLiteral("Documents imported on this computer.");
const QString overLimits = QStringLiteral("Keep this domain\u2019s library within 10 documents, 160 passages and 240 KB "
                                          "of extracted text. Remove a document or import a smaller section.");

// A loaded model over fake platform services, its library in the fake platform's folder,
// and a folder for the files the user imports.
struct Rig {
    explicit Rig(bool loaded = true)
    {
        model = std::make_unique<SessionModel>(platform.bundle());
        model->setDomain(QStringLiteral("Quarterly planning for the data platform team"));
        if (loaded)
            load();
    }

    void load() { runTask(model->load()); }

    QString libraryDirectory() const { return platform.knowledgeDirectory->filePath(QStringLiteral("knowledge")); }
    QString libraryFile() const { return libraryDirectory() + QStringLiteral("/private-knowledge.json"); }

    QString file(const QString &name, const QByteArray &content) const
    {
        const QString path = files.filePath(name);
        return writeFile(path, content) ? path : QString();
    }

    PrivateKnowledge onDisk()
    {
        model->waitForKnowledgeWrites();
        return PrivateKnowledgeStore(libraryDirectory()).load();
    }

    QTemporaryDir files;
    FakePlatform platform;
    std::unique_ptr<SessionModel> model;
};

} // namespace

class KnowledgeOperationsTest : public QObject {
    Q_OBJECT

private slots:
    void importSavesAndSkipsRepeats()
    {
        Rig rig;
        const QString notes = rig.file(QStringLiteral("notes.md"), "# Launch\nThe launch is planned for the third quarter.");
        runTask(rig.model->importFiles({notes}));
        QCOMPARE(rig.model->knowledgeMessage(), std::optional<QString>(imported));
        runTask(rig.model->importFiles({notes}));
        QCOMPARE(rig.model->knowledgeMessage(), std::optional<QString>(imported));
        QCOMPARE(rig.model->domainDocuments().size(), 1);
        QCOMPARE(rig.onDisk(), rig.model->privateKnowledge());

        // The same file for another domain is a document of its own.
        rig.model->setDomain(QStringLiteral("Hiring plan for the platform group"));
        QVERIFY(rig.model->domainDocuments().isEmpty());
        runTask(rig.model->importFiles({notes}));
        QCOMPARE(rig.model->domainDocuments().size(), 1);
        QCOMPARE(rig.model->privateKnowledge().documents.size(), 2);
        QCOMPARE(rig.onDisk().documents.size(), 2);
    }

    void nineDocumentsAndTwoMoreRefusesBoth()
    {
        Rig rig;
        QStringList nine;
        for (int index = 0; index < 9; ++index)
            nine.append(rig.file(QStringLiteral("doc%1.txt").arg(index), "Document number " + QByteArray::number(index)));
        runTask(rig.model->importFiles(nine));
        QCOMPARE(rig.model->domainDocuments().size(), 9);
        // A document turned off still counts.
        rig.model->updateKnowledge([](PrivateKnowledge &knowledge) { knowledge.documents.first().enabled = false; });
        const PrivateKnowledge before = rig.model->privateKnowledge();
        runTask(rig.model->importFiles({rig.file(QStringLiteral("a.txt"), "Tenth"), rig.file(QStringLiteral("b.txt"), "Eleventh")}));
        QCOMPARE(rig.model->knowledgeMessage(), std::optional<QString>(overLimits));
        QCOMPARE(rig.model->privateKnowledge(), before);
        // Documents of other domains do not count.
        rig.model->setDomain(QStringLiteral("Another domain entirely"));
        runTask(rig.model->importFiles({rig.file(QStringLiteral("c.txt"), "Other"), rig.file(QStringLiteral("d.txt"), "More")}));
        QCOMPARE(rig.model->knowledgeMessage(), std::optional<QString>(imported));
    }

    void aRefusedFileDiscardsTheWholeImport()
    {
        Rig rig;
        const QString good = rig.file(QStringLiteral("good.txt"), "Fine text");
        const QString bad = rig.file(QStringLiteral("bad.txt"), QByteArray("\xff\xfe broken", 9));
        runTask(rig.model->importFiles({good, bad}));
        QVERIFY(rig.model->knowledgeMessage() && rig.model->knowledgeMessage() != imported);
        QVERIFY(rig.model->privateKnowledge().documents.isEmpty());
        QVERIFY(!QFile::exists(rig.libraryFile()));
        QVERIFY(!rig.model->importingDocument());
    }

    void importIsIgnoredWhileASessionRuns()
    {
        Rig rig;
        rig.model->setActive(true);
        runTask(rig.model->importFiles({rig.file(QStringLiteral("x.txt"), "Text")}));
        rig.platform.filePicker->answer = QStringList{rig.file(QStringLiteral("y.txt"), "Text")};
        rig.model->importDocuments();
        QCOMPARE(rig.platform.filePicker->requests, 0);
        QVERIFY(rig.model->privateKnowledge().documents.isEmpty() && !rig.model->knowledgeMessage());
    }

    void libraryLoadsAtStartUp()
    {
        Rig rig(false);
        PrivateKnowledge saved;
        saved.learningEnabled = true;
        saved.learn(rig.model->domain(), QStringLiteral("Launch date"), QStringLiteral("quiet"), std::nullopt);
        QDir().mkpath(rig.libraryDirectory());
        PrivateKnowledgeStore(rig.libraryDirectory()).save(saved);
        rig.load();
        QCOMPARE(rig.model->privateKnowledge(), saved);
        QVERIFY(!rig.model->knowledgeMessage());
    }
};

QTEST_GUILESS_MAIN(KnowledgeOperationsTest)
#include "tst_KnowledgeOperations.moc"
