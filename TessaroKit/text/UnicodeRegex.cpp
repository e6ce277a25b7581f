#include "UnicodeRegex.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace {

icu::UnicodeString toICU(const QString &text)
{
    return icu::UnicodeString(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
}

} // namespace

UnicodeRegex::UnicodeRegex(const QString &pattern, bool caseInsensitive)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(toICU(pattern), caseInsensitive ? UREGEX_CASE_INSENSITIVE : 0, parseError, status));
    if (U_SUCCESS(status))
        m_pattern = std::move(compiled);
}

UnicodeRegex::~UnicodeRegex() = default;

bool UnicodeRegex::found(const QString &text) const
{
    if (!m_pattern)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString subject = toICU(text);
    std::unique_ptr<icu::RegexMatcher> matcher(m_pattern->matcher(subject, status));
    if (U_FAILURE(status))
        return false;
    const bool result = matcher->find(status);
    return U_SUCCESS(status) && result;
}
