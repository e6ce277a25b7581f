#include "PocketSphinxRecognizer.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <mutex>
#include <vector>

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

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

// Making a decoder touches PocketSphinx's process-wide state (its log, the shared
// configuration), so decoders are made and freed one at a time.
std::mutex &decoderLock()
{
    static std::mutex lock;
    return lock;
}

// Decoders let go, kept for the next recogniser of the same model: making one reads the
// whole model (a quarter of a second, about 90 MB), and memory given back by one worker
// thread is not always reused by another.
constexpr std::size_t idleKept = 2;

std::vector<std::pair<QString, ps_decoder_t *>> &idleDecoders()
{
    static std::vector<std::pair<QString, ps_decoder_t *>> idle;
    return idle;
}

// The configuration of each model folder, read once and shared by its decoders.
cmd_ln_t *configurationFor(const QString &folder)
{
    static QHash<QString, cmd_ln_t *> configurations;
    if (cmd_ln_t *known = configurations.value(folder))
        return known;
    err_set_logfp(nullptr);  // PocketSphinx logs every step of its work; the service says nothing
    const QDir dir(folder);
    const QByteArray hmm = QFile::encodeName(dir.filePath(QStringLiteral("en-us")));
    const QByteArray lm = QFile::encodeName(dir.filePath(QStringLiteral("en-us.lm.bin")));
    const QByteArray dict = QFile::encodeName(dir.filePath(QStringLiteral("cmudict-en-us.dict")));
    cmd_ln_t *config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-lm", lm.constData(), "-dict",
                                   dict.constData(), "-samprate", "16000", "-mmap", "yes", nullptr);
    if (config)
        configurations.insert(folder, config);
    return config;
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

PocketSphinxRecognizer::PocketSphinxRecognizer(const QString &folder)
    : m_folder(folder)
{
    const std::lock_guard guard(decoderLock());
    auto &idle = idleDecoders();
    const auto kept = std::find_if(idle.begin(), idle.end(), [&](const auto &entry) { return entry.first == folder; });
    if (kept != idle.end()) {
        m_decoder = kept->second;
        idle.erase(kept);
    } else if (cmd_ln_t *config = configurationFor(folder)) {
        m_decoder = ps_init(config);
    }
    // A recogniser hears a stream of its own: what a decoder learnt of an earlier one's
    // channel (its noise level) is not carried over, and times count from here.
    if (m_decoder)
        ps_start_stream(m_decoder);
}

PocketSphinxRecognizer::~PocketSphinxRecognizer()
{
    if (!m_decoder)
        return;
    if (m_open)
        ps_end_utt(m_decoder);
    const std::lock_guard guard(decoderLock());
    if (idleDecoders().size() < idleKept)
        idleDecoders().emplace_back(m_folder, m_decoder);
    else
        ps_free(m_decoder);
}

void PocketSphinxRecognizer::begin(int)
{
    if (!m_decoder)
        return;
    if (m_open)
        ps_end_utt(m_decoder);
    m_open = ps_start_utt(m_decoder) == 0;
}

void PocketSphinxRecognizer::feed(const qint16 *samples, std::size_t count)
{
    if (m_open && count > 0)
        ps_process_raw(m_decoder, samples, count, FALSE, FALSE);
}

QString PocketSphinxRecognizer::hypothesis() const
{
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
    ps_end_utt(m_decoder);
    return hypothesis();
}

QList<PocketSphinxRecognizer::Word> PocketSphinxRecognizer::words() const
{
    QList<Word> heard;
    if (!m_decoder)
        return heard;
    constexpr double msPerFrame = 10;  // PocketSphinx's frame rate: 100 a second
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
