#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Writes small but complete PDF files: one page per text, each line of a text set in
// Helvetica (WinAnsi, so Latin-1 characters only), an empty text giving a page without
// any text, and a cross-reference table with exact offsets. A locked file declares the
// standard security handler with password entries no empty password opens, so a reader
// asks for a password before it reads anything.
class TestPdf {
public:
    static QByteArray make(const QStringList &pageTexts, bool locked = false);
};
