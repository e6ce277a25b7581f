#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Writes small but complete PDF files: one page per text, each line of a text set in
// Helvetica (WinAnsi, so Latin-1 characters only), an empty text giving a page without
// any text, and a cross-reference table with exact offsets. With a user password the
// file is encrypted with the standard security handler (RC4, 40-bit key, revision 2),
// so it cannot be read without that password.
class TestPdf {
public:
    static QByteArray make(const QStringList &pageTexts, const std::optional<QByteArray> &userPassword = {});
};
