#include "HistorySegment.h"

HistorySegment::HistorySegment(QString id, QString text, QString channel, double startMs, double endMs)
    : id(std::move(id)), text(std::move(text)), channel(std::move(channel)), startMs(startMs), endMs(endMs)
{
}

HistorySegment::HistorySegment(const Transcript &transcript)
    : id(transcript.id), text(transcript.text), channel(transcript.channel),
      startMs(transcript.startMs.value_or(0)), endMs(transcript.endMs.value_or(startMs))
{
}
