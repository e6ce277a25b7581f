// Xapian's headers use the word "slots", which Qt's headers make a keyword: Xapian first.
#include <xapian.h>

#include "LibraryIndex.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

// Words too common to say what a sentence is about.
const Xapian::SimpleStopper &stopper()
{
    static const char *const list[] = {
            "a", "about", "above", "after", "again", "all", "also", "am", "an", "and", "any", "are", "as", "at", "be",
            "because", "been", "before", "being", "below", "between", "both", "but", "by", "can", "could", "did", "do",
            "does", "doing", "down", "during", "each", "else", "few", "for", "from", "further", "get", "got", "had",
            "has", "have", "having", "he", "her", "here", "hers", "him", "his", "how", "i", "if", "in", "into", "is",
            "it", "its", "just", "let", "like", "me", "might", "more", "most", "much", "must", "my", "no", "nor", "not",
            "now", "of", "off", "on", "once", "one", "only", "or", "other", "our", "ours", "out", "over", "own", "said",
            "same", "say", "she", "should", "so", "some", "such", "than", "that", "the", "their", "them", "then",
            "there", "these", "they", "this", "those", "through", "to", "too", "under", "until", "up", "us", "very",
            "was", "we", "well", "were", "what", "when", "where", "which", "while", "who", "whom", "why", "will",
            "with", "would", "yes", "you", "your", "yours", "okay", "yeah", "um", "uh", "oh", "think", "know", "really",
            "going", "thing", "things", "lot", "way", "maybe", "still", "even", "make", "made", "need", "want", "see",
            "look", "new", "use", "used", "two", "three", "first", "next", "last", "today"};
    static const Xapian::SimpleStopper words(std::begin(list), std::end(list));
    return words;
}

const Xapian::Stem &stemmer()
{
    static const Xapian::Stem english("english");
    return english;
}

QStringList sentencesOf(const QString &text)
{
    QStringList sentences;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, text);
    qsizetype from = 0;
    while (finder.toNextBoundary() != -1) {
        const QString sentence = text.mid(from, finder.position() - from).trimmed();
        if (!sentence.isEmpty())
            sentences.append(sentence);
        from = finder.position();
    }
    return sentences;
}

// The stem Xapian's term generator gives a word of the text.
std::string stemOf(const QString &word)
{
    return stemmer()(word.toLower().toStdString());
}

struct Words {
    QStringList words;  // as written, punctuation trimmed
    QList<bool> matched;
    int count = 0;      // distinct matched stems
};

Words matchedWords(const QString &sentence, const QSet<QString> &stems)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    static const QRegularExpression edges(QStringLiteral("^[^\\w]+|[^\\w%]+$"));
    Words result;
    QSet<QString> seen;
    for (QString word : sentence.split(space, Qt::SkipEmptyParts)) {
        word.remove(edges);
        if (word.isEmpty())
            continue;
        const QString stem = QString::fromStdString(stemOf(word));
        const bool hit = stems.contains(stem);
        if (hit)
            seen.insert(stem);
        result.words.append(word);
        result.matched.append(hit);
    }
    result.count = int(seen.size());
    return result;
}

// The shortest stretch of the sentence holding every matched word, at most eight words
// (else the first eight words from its first match).
QString phraseOf(const Words &words)
{
    const qsizetype first = words.matched.indexOf(true);
    const qsizetype last = words.matched.lastIndexOf(true);
    if (first < 0)
        return {};
    const qsizetype length = std::min<qsizetype>(last - first + 1, 8);
    QString phrase = words.words.mid(first, length).join(QLatin1Char(' '));
    if (!phrase.isEmpty())
        phrase[0] = phrase[0].toUpper();
    return phrase;
}

} // namespace

LibraryIndex::LibraryIndex(QList<KnowledgePassage> passages)
    : m_passages(std::move(passages))
    , m_database(std::make_unique<Xapian::WritableDatabase>(std::string(), Xapian::DB_BACKEND_INMEMORY))
{
    Xapian::TermGenerator terms;
    terms.set_stemmer(stemmer());
    terms.set_stopper(&stopper());
    terms.set_stemming_strategy(Xapian::TermGenerator::STEM_SOME);
    for (qsizetype i = 0; i < m_passages.size(); ++i) {
        Xapian::Document document;
        terms.set_document(document);
        terms.index_text(m_passages[i].title.toStdString());
        terms.increase_termpos();
        terms.index_text(m_passages[i].text.toStdString());
        document.set_data(std::to_string(i));
        m_database->add_document(document);
    }
}

LibraryIndex::~LibraryIndex() = default;

QList<LibraryIndex::Match> LibraryIndex::search(const QString &spoken, double minimumWeight) const
{
    QList<Match> found;
    if (m_passages.isEmpty() || spoken.trimmed().isEmpty())
        return found;
    Xapian::QueryParser parser;
    parser.set_stemmer(stemmer());
    parser.set_stopper(&stopper());
    parser.set_stemming_strategy(Xapian::QueryParser::STEM_SOME);
    parser.set_default_op(Xapian::Query::OP_OR);
    Xapian::Query query;
    try {
        query = parser.parse_query(spoken.toLower().toStdString(), 0);
    } catch (const Xapian::Error &) {
        return found;
    }
    Xapian::Enquire enquire(*m_database);
    enquire.set_query(query);
    enquire.set_weighting_scheme(Xapian::BM25Weight());
    const Xapian::MSet hits = enquire.get_mset(0, 10);
    for (Xapian::MSetIterator hit = hits.begin(); hit != hits.end(); ++hit) {
        if (hit.get_weight() < minimumWeight)
            continue;
        QSet<QString> stems;
        for (Xapian::TermIterator term = enquire.get_matching_terms_begin(hit);
             term != enquire.get_matching_terms_end(hit); ++term) {
            QString stem = QString::fromStdString(*term);
            if (stem.startsWith(QLatin1Char('Z')))
                stem.remove(0, 1);
            stems.insert(stem);
        }
        if (stems.size() < 2)
            continue;
        Match match;
        match.passage = m_passages[qsizetype(std::stoul(hit.get_document().get_data()))];
        match.weight = hit.get_weight();
        Words best;
        for (const QString &sentence : sentencesOf(match.passage.text)) {
            const Words words = matchedWords(sentence, stems);
            if (words.count > best.count) {
                best = words;
                match.sentence = sentence;
            }
        }
        if (match.sentence.isEmpty()) {
            // Matched by its title only: the passage opens with what it says of it.
            match.sentence = sentencesOf(match.passage.text).value(0, match.passage.text);
            match.phrase = match.passage.title;
        } else {
            match.phrase = phraseOf(best);
        }
        found.append(match);
    }
    return found;
}
