#pragma once

#include "knowledge/KnowledgeDocument.h"
#include "knowledge/LearnedPreference.h"

#include <QList>

// The user's private library: imported documents of every domain and the preferences
// learned from feedback.
struct PrivateKnowledge {
    QList<KnowledgeDocument> documents;
    bool learningEnabled = false;
    QList<LearnedPreference> preferences;

    bool operator==(const PrivateKnowledge &) const = default;
};
