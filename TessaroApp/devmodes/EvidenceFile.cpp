#include "devmodes/EvidenceFile.h"

#include "protocol/TessaroError.h"

#include <QJsonDocument>
#include <QSaveFile>

void EvidenceFile::write(const QString &path, const QJsonObject &evidence,
                         std::optional<QFileDevice::Permissions> permissions)
{
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    // The temporary file takes the permissions before anything is written to it.
    if (written && permissions)
        written = file.setPermissions(*permissions);
    written = written && file.write(QJsonDocument(evidence).toJson(QJsonDocument::Indented)) >= 0 && file.commit();
    if (!written)
        throw TessaroError::message(QStringLiteral("The evidence file \u201C%1\u201D couldn\u2019t be written: %2.")
                                        .arg(path, file.errorString()));
}
