#pragma once

#include <functional>

class QObject;
class SessionModel;

// How the presentation objects follow the session model.
namespace ModelChanges {

// Emits the receiver's parameterless `changed()` after every parameterless signal of the
// model: any published change may change a decision.
void forwardAll(SessionModel &model, QObject *receiver);

// Calls `refresh` whenever the answer in front may have changed (the bank, the memory,
// the selection, the presentation switches, the answer window, the library; the clock
// too in simple mode, where the window moves with the conversation).
void onSelectionInputs(SessionModel &model, QObject *receiver, const std::function<void()> &refresh);

} // namespace ModelChanges
