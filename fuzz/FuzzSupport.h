#pragma once

// What every harness shares: one QCoreApplication, a private scratch folder on tmpfs for
// the parsers that read files, and a way to report a broken property as a crash.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace fuzz {

// Creates the process's QCoreApplication once; call from LLVMFuzzerInitialize.
void startApplication();

// A folder of this process, removed at exit.
const QString &scratchFolder();

// Writes `bytes` to `path`, replacing the file; aborts when that fails.
void writeFile(const QString &path, const QByteArray &bytes);

// The input as bytes without copying.
inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Reports a property the library broke and aborts, so libFuzzer keeps the input.
[[noreturn]] void broken(const char *property, const QString &detail = {});

} // namespace fuzz

#define FUZZ_CHECK(condition, detail)                                                            \
    do {                                                                                         \
        if (!(condition))                                                                        \
            ::fuzz::broken(#condition, (detail));                                                \
    } while (false)
