#include "PocketSphinxRecognizer.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <sphinxbase/ngram_model.h>

// One model folder, loaded once per process and shared by its decoders:
// - the language model (about 33 MB) is read once; every decoder's search holds a reference;
// - each decoder's dictionary holds the 40,000 words the language model finds likeliest,
//   plus the words of its session's library (the language model knows 72,000 words and the
//   dictionary 134,000 pronunciations; every word a decoder can hear costs it memory, and
//   the rarest words are seldom said, except the ones of the user's own documents). This
//   takes a decoder from about 47 MB to 31 MB;
// - one lock serialises every call into its decoders: the language model keeps look-up
//   caches that decoders on two threads must not write at once. Decoding is three times
//   faster than speech, so two channels still keep up.
struct PocketSphinxRecognizer::Model {
    std::mutex lock;
    cmd_ln_t *config = nullptr;
    ngram_model_t *languageModel = nullptr;
    QString dictionaryFile;  // the model's whole dictionary
    QByteArray dictionary;   // the path of the common words' dictionary, held open in memory
    std::vector<ps_decoder_t *> idle;  // decoders let go, kept for the next recogniser
};

namespace {

const QStringList &modelFiles()
{
    static const QStringList files{QStringLiteral("en-us/mdef"),      QStringLiteral("en-us/means"),
                                   QStringLiteral("en-us/variances"), QStringLiteral("en-us/transition_matrices"),
                                   QStringLiteral("en-us/sendump"),   QStringLiteral("en-us/feat.params"),
                                   QStringLiteral("en-us/noisedict"), QStringLiteral("en-us.lm.bin"),
                                   QStringLiteral("cmudict-en-us.dict")};
    return files;
}

// Decoders let go are kept for the next recogniser of the same model: making one reads the
// acoustic model and the dictionary (a tenth of a second, about 45 MB), and memory given
// back by one worker thread is not always reused by another.
constexpr std::size_t idleKept = 2;

// The word of a dictionary line, without its "(2)" variant mark.
QByteArray baseWord(const QByteArray &line)
{
    QByteArray word = line.left(line.indexOf(' '));
    if (const qsizetype mark = word.indexOf('('); mark > 0)
        word.truncate(mark);
    return word;
}

// The `count` words `lm` finds likeliest on their own.
QSet<QByteArray> commonWords(ngram_model_t *lm, int count)
{
    const int32 known = int32(ngram_model_get_counts(lm)[0]);
    std::vector<std::pair<int32, int32>> ranked;  // (unigram score, word id)
    ranked.reserve(std::size_t(known));
    for (int32 id = 0; id < known; ++id)
        ranked.emplace_back(ngram_score(lm, ngram_word(lm, id), nullptr), id);
    const auto top = ranked.begin() + std::min<std::ptrdiff_t>(count, std::ssize(ranked));
    std::partial_sort(ranked.begin(), top, ranked.end(), std::greater<>());
    QSet<QByteArray> words;
    for (auto it = ranked.begin(); it != top; ++it)
        words.insert(QByteArray(ngram_word(lm, it->second)));
    return words;
}

// The pronunciations in `dict` of the words `keep` accepts, one dictionary line each.
template <typename Keep>
QByteArray pronunciations(const QString &dict, Keep keep)
{
    QFile source(dict);
    QByteArray kept;
    if (!source.open(QIODevice::ReadOnly))
        return kept;
    while (!source.atEnd()) {
        const QByteArray line = source.readLine();
        if (keep(baseWord(line)))
            kept += line;
    }
    return kept;
}

// The pronunciations of the common words of `lm`, in an in-memory file that lives as long
// as the process; its path, or nothing.
QByteArray commonDictionary(const QString &dict, ngram_model_t *lm)
{
    const QSet<QByteArray> common = commonWords(lm, PocketSphinxRecognizer::commonWordCount);
    const QByteArray kept = pronunciations(dict, [&](const QByteArray &word) { return common.contains(word); });
    if (kept.isEmpty())
        return {};
    const int fd = memfd_create("corvana-dictionary", 0);
    if (fd < 0)
        return {};
    for (qsizetype written = 0; written < kept.size();) {
        const ssize_t n = ::write(fd, kept.constData() + written, std::size_t(kept.size() - written));
        if (n <= 0) {
            ::close(fd);
            return {};
        }
        written += n;
    }
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// The shared model of `folder`, loaded on first use; null when it cannot be loaded.
PocketSphinxRecognizer::Model *modelFor(const QString &folder)
{
    static std::mutex registryLock;
    // Never freed: worker threads may still be decoding while the process exits.
    static auto *const models = new std::map<QString, std::unique_ptr<PocketSphinxRecognizer::Model>>;
    const std::lock_guard guard(registryLock);
    if (auto known = models->find(folder); known != models->end())
        return known->second.get();
    err_set_logfp(nullptr);  // PocketSphinx logs every step of its work; the service says nothing
    const QDir dir(folder);
    const QByteArray hmm = QFile::encodeName(dir.filePath(QStringLiteral("en-us")));
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-samprate", "16000",
                                   "-mmap", "yes", nullptr);
    if (!config)
        return nullptr;
    auto model = std::make_unique<PocketSphinxRecognizer::Model>();
    model->config = config;
    model->dictionaryFile = dir.filePath(QStringLiteral("cmudict-en-us.dict"));
    logmath_t *logs = logmath_init(cmd_ln_float_r(config, "-logbase"), 0, TRUE);
    const QByteArray lm = QFile::encodeName(dir.filePath(QStringLiteral("en-us.lm.bin")));
    model->languageModel = ngram_model_read(config, lm.constData(), NGRAM_AUTO, logs);
    logmath_free(logs);  // the language model holds its own reference
    if (model->languageModel)
        model->dictionary = commonDictionary(model->dictionaryFile, model->languageModel);
    if (model->dictionary.isEmpty()) {
        if (model->languageModel)
            ngram_model_free(model->languageModel);
        cmd_ln_free_r(config);
        return nullptr;
    }
    cmd_ln_set_str_r(config, "-dict", model->dictionary.constData());
    return models->emplace(folder, std::move(model)).first->second.get();
}

// A decoder of `model` searching with its language model, or null.
ps_decoder_t *newDecoder(PocketSphinxRecognizer::Model &model)
{
    ps_decoder_t *decoder = ps_init(model.config);
    if (!decoder)
        return nullptr;
    // The search takes one reference to the language model and lets it go when freed.
    ngram_model_retain(model.languageModel);
    if (ps_set_lm(decoder, "lm", model.languageModel) != 0 || ps_set_search(decoder, "lm") != 0) {
        ps_free(decoder);
        return nullptr;
    }
    return decoder;
}

} // namespace

std::optional<QString> PocketSphinxRecognizer::missingModel(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &file : modelFiles()) {
        if (!QFileInfo(dir.filePath(file)).isReadable())
            return QStringLiteral("the speech model file %1 is missing").arg(dir.filePath(file));
    }
    return std::nullopt;
}

PocketSphinxRecognizer::PocketSphinxRecognizer(const QString &folder, const QStringList &vocabulary)
    : m_model(modelFor(folder))
{
    if (!m_model)
        return;
    {
        const std::lock_guard guard(m_model->lock);
        if (!m_model->idle.empty()) {
            m_decoder = m_model->idle.back();
            m_model->idle.pop_back();
        } else {
            m_decoder = newDecoder(*m_model);
        }
    }
    if (!m_decoder)
        return;
    addWords(vocabulary);
    // A recogniser hears a stream of its own: what a decoder learnt of an earlier one's
    // channel (its noise level) is not carried over, and times count from here.
    ps_start_stream(m_decoder);
}

void PocketSphinxRecognizer::addWords(const QStringList &vocabulary)
{
    ngram_model_t *lm = m_model->languageModel;
    QSet<QByteArray> missing;
    for (const QString &word : vocabulary) {
        const QByteArray wanted = word.toLower().toUtf8();
        if (ngram_wid(lm, wanted.constData()) == ngram_unknown_wid(lm))
            continue;  // the language model could never choose it
        if (char *known = ps_lookup_word(m_decoder, wanted.constData()))
            std::free(known);
        else
            missing.insert(wanted);
    }
    if (missing.isEmpty())
        return;
    const QList<QByteArray> lines =
        pronunciations(m_model->dictionaryFile, [&](const QByteArray &word) { return missing.contains(word); })
            .split('\n');
    QList<std::pair<QByteArray, QByteArray>> added;  // (word, phones)
    for (const QByteArray &line : lines) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0)
            added.append({line.left(space), line.mid(space + 1).trimmed()});
    }
    // The search is rebuilt once, with the last word; rebuilding reads the shared language model.
    const std::lock_guard guard(m_model->lock);
    for (qsizetype i = 0; i < added.size(); ++i)
        ps_add_word(m_decoder, added[i].first.constData(), added[i].second.constData(), i + 1 == added.size());
}

PocketSphinxRecognizer::~PocketSphinxRecognizer()
{
    if (!m_decoder)
        return;
    const std::lock_guard guard(m_model->lock);
    if (m_open)
        ps_end_utt(m_decoder);
    if (m_model->idle.size() < idleKept)
        m_model->idle.push_back(m_decoder);
    else
        ps_free(m_decoder);
}

void PocketSphinxRecognizer::begin(int)
{
    if (!m_decoder)
        return;
    const std::lock_guard guard(m_model->lock);
    if (m_open)
        ps_end_utt(m_decoder);
    m_open = ps_start_utt(m_decoder) == 0;
}

void PocketSphinxRecognizer::feed(const qint16 *samples, std::size_t count)
{
    if (!m_open || count == 0)
        return;
    const std::lock_guard guard(m_model->lock);
    ps_process_raw(m_decoder, samples, count, FALSE, FALSE);
}

QString PocketSphinxRecognizer::hypothesis() const
{
    const std::lock_guard guard(m_model->lock);
    qint32 score = 0;
    const char *text = ps_get_hyp(m_decoder, &score);
    return text ? QString::fromUtf8(text).simplified() : QString();
}

QString PocketSphinxRecognizer::partial()
{
    return m_open ? hypothesis() : QString();
}

QString PocketSphinxRecognizer::finish()
{
    if (!m_open)
        return {};
    m_open = false;
    {
        const std::lock_guard guard(m_model->lock);
        ps_end_utt(m_decoder);
    }
    return hypothesis();
}

QList<PocketSphinxRecognizer::Word> PocketSphinxRecognizer::words() const
{
    QList<Word> heard;
    if (!m_decoder)
        return heard;
    constexpr double msPerFrame = 10;  // PocketSphinx's frame rate: 100 a second
    const std::lock_guard guard(m_model->lock);
    for (ps_seg_t *seg = ps_seg_iter(m_decoder); seg; seg = ps_seg_next(seg)) {
        QString word = QString::fromUtf8(ps_seg_word(seg));
        if (word.startsWith(QLatin1Char('<')) || word.startsWith(QLatin1Char('[')))
            continue;
        word.remove(QRegularExpression(QStringLiteral("\\(\\d+\\)$")));  // alternative pronunciations: "the(2)"
        int start = 0;
        int end = 0;
        ps_seg_frames(seg, &start, &end);
        heard.append(Word{word, start * msPerFrame, (end + 1) * msPerFrame});
    }
    return heard;
}
