#pragma once

class QObject;
class SessionModel;

// How the presentation objects follow the session model.
namespace ModelChanges {

// Emits the receiver's parameterless `changed()` after every parameterless signal of the
// model: any published change may change a decision.
void forwardAll(SessionModel &model, QObject *receiver);

} // namespace ModelChanges
