#pragma once

#include <QString>

#include <memory>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

// A regular expression with ICU's syntax and Unicode rules. An invalid pattern never
// matches.
class UnicodeRegex {
public:
    explicit UnicodeRegex(const QString &pattern, bool caseInsensitive = false);
    ~UnicodeRegex();
    UnicodeRegex(const UnicodeRegex &) = delete;
    UnicodeRegex &operator=(const UnicodeRegex &) = delete;

    bool valid() const { return m_pattern != nullptr; }
    // Whether the pattern matches anywhere in the text.
    bool found(const QString &text) const;

private:
    std::unique_ptr<icu::RegexPattern> m_pattern;
};
