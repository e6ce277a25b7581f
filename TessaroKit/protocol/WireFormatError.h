#pragma once

#include <QString>
#include <stdexcept>

// A JSON text that does not have the shape of the record it should hold, or a value
// that has no JSON form. The description names the member path that failed.
class WireFormatError : public std::runtime_error {
public:
    explicit WireFormatError(const QString &problem, const QString &path = {});

    const QString &path() const { return m_path; }
    const QString &problem() const { return m_problem; }
    // The same failure seen from the record that holds it under `outer`.
    WireFormatError within(const QString &outer) const;

private:
    QString m_problem;
    QString m_path;
};
