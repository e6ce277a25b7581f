#include "PrivateKnowledgeStore.h"

#include "protocol/TessaroError.h"
#include "protocol/WireCoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

const QString tooLargeToOpen = QStringLiteral("The local knowledge file is too large to open.");
const QString tooLargeToSave = QStringLiteral("Remove an imported document before adding more local knowledge.");

constexpr QFileDevice::Permissions ownerReadWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

TessaroError folderFailure(const QString &path, int error)
{
    return TessaroError::message(QStringLiteral("The folder \u201C%1\u201D couldn\u2019t be created: %2.")
                                     .arg(QDir::toNativeSeparators(path), systemText(error)));
}

// Creates `path` and every missing parent with mode 0700 (whatever the umask says);
// folders that already exist are left as they are.
void makeOwnerOnlyDirectory(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    const QStringList parts = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix;
    for (const QString &part : parts) {
        prefix += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(prefix);
        struct stat status {};
        if (::stat(native.constData(), &status) == 0) {
            if (!S_ISDIR(status.st_mode))
                throw folderFailure(absolute, ENOTDIR);
            continue;
        }
        if (errno != ENOENT)
            throw folderFailure(absolute, errno);
        if (::mkdir(native.constData(), S_IRWXU) != 0) {
            if (errno == EEXIST)
                continue;
            throw folderFailure(absolute, errno);
        }
        if (::chmod(native.constData(), S_IRWXU) != 0)
            throw folderFailure(absolute, errno);
    }
}

QString fileText()
{
    return QString::fromLatin1(PrivateKnowledgeStore::fileName);
}

} // namespace

PrivateKnowledgeStore::PrivateKnowledgeStore(const std::optional<QString> &directory)
{
    QString folder = directory.value_or(QString());
    if (folder.isEmpty())
        folder = PrivateKnowledgeStore::directory();
    if (folder.isEmpty())
        throw TessaroError::message(QStringLiteral("The user data folder could not be found."));
    makeOwnerOnlyDirectory(folder);
    m_url = QDir(folder).absoluteFilePath(fileText());
}

QString PrivateKnowledgeStore::directory()
{
    const QString configured = qEnvironmentVariable(directoryVariable);
    if (!configured.isEmpty())
        return configured;
    return defaultDirectory();
}

QString PrivateKnowledgeStore::defaultDirectory()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    return data + QStringLiteral("/Corvana");
}

PrivateKnowledge PrivateKnowledgeStore::load() const
{
    QFile file(m_url);
    if (!QFileInfo::exists(m_url))
        return PrivateKnowledge();
    if (!file.open(QIODevice::ReadOnly))
        throw TessaroError::message(QStringLiteral("The file \u201C%1\u201D couldn\u2019t be opened: %2.")
                                        .arg(fileText(), file.errorString()));
    // The size on disk decides before anything is read; reading one byte past the limit
    // catches a file that grows meanwhile.
    if (file.size() > maximumFileBytes)
        throw TessaroError::message(tooLargeToOpen);
    const QByteArray bytes = file.read(maximumFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw TessaroError::message(QStringLiteral("The file \u201C%1\u201D couldn\u2019t be read: %2.")
                                        .arg(fileText(), file.errorString()));
    if (bytes.size() > maximumFileBytes)
        throw TessaroError::message(tooLargeToOpen);
    try {
        return wire::decode<PrivateKnowledge>(bytes);
    } catch (const WireFormatError &failure) {
        throw TessaroError::message(QString::fromUtf8(failure.what()));
    }
}

void PrivateKnowledgeStore::save(const PrivateKnowledge &knowledge) const
{
    QByteArray bytes;
    try {
        bytes = wire::encode(knowledge);
    } catch (const WireFormatError &failure) {
        throw TessaroError::message(QString::fromUtf8(failure.what()));
    }
    if (bytes.size() > maximumFileBytes)
        throw TessaroError::message(tooLargeToSave);

    const auto saveFailure = [](const QString &reason) {
        return TessaroError::message(
            QStringLiteral("The file \u201C%1\u201D couldn\u2019t be saved: %2.").arg(fileText(), reason));
    };
    QSaveFile file(m_url);
    if (!file.open(QIODevice::WriteOnly))
        throw saveFailure(file.errorString());
    // The temporary file is private before it holds anything.
    file.setPermissions(ownerReadWrite);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw saveFailure(reason);
    }
    if (!file.commit())
        throw saveFailure(file.errorString());

    if (::chmod(QFile::encodeName(m_url).constData(), S_IRUSR | S_IWUSR) != 0)
        throw TessaroError::message(QStringLiteral("The permissions of \u201C%1\u201D couldn\u2019t be set: %2.")
                                        .arg(fileText(), systemText(errno)));
}
