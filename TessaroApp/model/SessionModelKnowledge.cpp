#include "SessionModel.h"

void SessionModel::updateKnowledge(const std::function<void(PrivateKnowledge &)> &change)
{
    PrivateKnowledge updated = m_privateKnowledge;
    change(updated);
    setPrivateKnowledge(updated);
}

void SessionModel::waitForKnowledgeWrites()
{
}
