#include "support/LogChannel.h"

#include "support/NewestFirstList.h"

char g_DefaultLogText[256];
char g_ReportBuffer[256];

static LogChannel* s_head = nullptr;

LogChannel::LogChannel(int channel) : next(s_head), number(static_cast<uint16_t>(channel)) {
    s_head = this;
}

LogChannel::~LogChannel() {
    RemoveFromChain(s_head, this, &LogChannel::next);
}

LogChannel* FindLogChannel(int channel) {
    uint16_t wanted = static_cast<uint16_t>(channel);
    for (LogChannel* c = s_head; c; c = c->next) {
        if (c->number == wanted) return c;
    }
    return nullptr;
}

void ReportToLog(int channel, const char* text) {
    if (!text) text = g_DefaultLogText;
    if (LogChannel* c = FindLogChannel(channel)) c->ReceiveText(text);
    // Compare the 16 bits that name a channel, so channel 0 never hears a report twice.
    if (static_cast<uint16_t>(channel) != 0) {
        if (LogChannel* all = FindLogChannel(0)) all->ReceiveText(text);
    }
}
