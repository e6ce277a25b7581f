// Every wire record decoded from JSON, ServerEvent included. The first byte picks the
// record; the rest is the JSON text. A record that decodes must encode, and its encoding
// must decode to a record that encodes to the same text.

#include "FuzzSupport.h"

#include "access/SignInChallenge.h"
#include "access/SignInGrant.h"
#include "protocol/Account.h"
#include "protocol/AccountDevice.h"
#include "protocol/Connection.h"
#include "protocol/Failure.h"
#include "protocol/HistorySegment.h"
#include "protocol/KnowledgePassage.h"
#include "protocol/PreparedAnswer.h"
#include "protocol/RangeState.h"
#include "protocol/ServerEvent.h"
#include "protocol/SessionInput.h"
#include "protocol/TessaroError.h"

#include <array>

namespace {

template <class T>
void roundTrip(const QByteArray &json)
{
    std::optional<T> decoded;
    try {
        decoded = wire::decode<T>(json);
    } catch (const WireFormatError &) {
        return;
    } catch (const TessaroError &) {
        return; // a Connection that breaks its rules
    }
    QByteArray first;
    try {
        first = wire::encode(*decoded);
    } catch (const std::exception &failure) {
        fuzz::broken("a decoded record encodes", QString::fromUtf8(failure.what()));
    }
    try {
        const T again = wire::decode<T>(first);
        FUZZ_CHECK(wire::encode(again) == first, QString::fromUtf8(first));
    } catch (const std::exception &failure) {
        fuzz::broken("an encoded record decodes", QString::fromUtf8(first) + u'\n' + QString::fromUtf8(failure.what()));
    }
}

// Wire order of the table below is what the corpus files' first bytes name.
using Check = void (*)(const QByteArray &);
constexpr std::array<Check, 21> records{
    roundTrip<ServerEvent>,      // 0
    roundTrip<Account>,          // 1
    roundTrip<Health>,           // 2
    roundTrip<Wallet>,           // 3
    roundTrip<AccountProfile>,   // 4
    roundTrip<AccountDevice>,    // 5
    roundTrip<SessionSnapshot>,  // 6
    roundTrip<SessionInput>,     // 7
    roundTrip<Transcript>,       // 8
    roundTrip<HistorySegment>,   // 9
    roundTrip<KnowledgePassage>, // 10
    roundTrip<DocumentCitation>, // 11
    roundTrip<RetrievalInfo>,    // 12
    roundTrip<PreparedFollowUp>, // 13
    roundTrip<SpeechOccurrence>, // 14
    roundTrip<PreparedAnswer>,   // 15
    roundTrip<RangeState>,       // 16
    roundTrip<Connection>,       // 17
    roundTrip<SignInChallenge>,  // 18
    roundTrip<SignInGrant>,      // 19
    roundTrip<Failure>,          // 20
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    records[data[0] % records.size()](fuzz::bytes(data + 1, size - 1));
    return 0;
}
