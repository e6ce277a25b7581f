#pragma once

#include "model/SessionModel.h"

#include <initializer_list>

// How the presentation objects follow the session model: each group of properties
// notifies through its own signal, relayed from exactly the model signals its values
// read, so that a change re-evaluates only the bindings it can affect.
namespace ModelChanges {

using ModelSignal = void (SessionModel::*)();

// Emits the receiver's `notify` after each of the model's `inputs`.
template <typename Receiver>
void relay(const SessionModel &model, std::initializer_list<ModelSignal> inputs, Receiver *receiver,
           void (Receiver::*notify)())
{
    for (const ModelSignal input : inputs)
        QObject::connect(&model, input, receiver, notify);
}

} // namespace ModelChanges
