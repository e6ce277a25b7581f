#pragma once

#include "knowledge/PrivateKnowledge.h"
#include "protocol/PreparedAnswer.h"

#include <QString>

#include <optional>

// The sources of one answer as the citation views show them.
namespace AnswerSources {

// Shown in place of "Read the full passage" once the imported copy is gone.
extern const QString removedCopyLine;

// The group title ("Sources · N", empty without citations).
QString sourcesTitle(const PreparedAnswer &answer);
// The note over the quotes.
QString sourcesNote(const PreparedAnswer &answer);
// The one line shown instead when the answer cites nothing (empty when no search ran).
QString sourcesLine(const PreparedAnswer &answer);
// The full text of the passage a citation quotes, when the library still holds it.
std::optional<QString> citedPassage(const PrivateKnowledge &knowledge, const DocumentCitation &citation);
// A quote between curly quotation marks.
QString quotation(const QString &quote);
// The removed-copy line, or empty while the passage is still in the library.
QString passageNote(bool removed);

} // namespace AnswerSources
