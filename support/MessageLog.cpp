#include "support/MessageLog.h"
#include "support/LogChannel.h"
#include "support/NewestFirstList.h"
#include "support/Text.h"
#include "support/Win32Forward.h"

APPLI_MSG* APPLI_MSG::s_head;
APPLI_MSG* APPLI_MSG::s_tail;

static constexpr NewestFirstList<APPLI_MSG> s_receivers = {APPLI_MSG::s_head, APPLI_MSG::s_tail,
                                                           &APPLI_MSG::next, &APPLI_MSG::previous};

APPLI_MSG::APPLI_MSG(const char* name_)
    : next(nullptr), previous(nullptr), messageNumber(0), registered(0) {
    name[0] = 0;
    if (!name_ || !name_[0]) return;
    s_receivers.PushNewest(this);
    registered = 1;
    TextCopy(name, name_, sizeof name);
    messageNumber = ForwardRegisterWindowMessage(name);
}

APPLI_MSG::~APPLI_MSG() {
    if (registered) s_receivers.Remove(this);
}

int DispatchRegisteredMessage(MSG_REC* record) {
    int taken = 0;
    for (APPLI_MSG* receiver = APPLI_MSG::s_head; receiver;) {
        // A receiver may go while it handles the message.
        APPLI_MSG* following = receiver->next;
        if (receiver->messageNumber == record->message) {
            receiver->HandleMessage(record);
            taken = 1;
        }
        receiver = following;
    }
    return taken;
}

// The text arrives as a bare address, which any program can post to us: it must lie in readable
// memory of this process, up to and including its terminator.
static int IsReadableText(const char* text) {
    const char* at = text;
    for (;;) {
        MEMORY_BASIC_INFORMATION region;
        if (!VirtualQuery(at, &region, sizeof region)) return 0;
        const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                               PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if (region.State != MEM_COMMIT || !(region.Protect & readable) ||
            (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)))
            return 0;
        const char* end = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        for (; at < end; ++at) {
            if (!*at) return 1;
        }
    }
}

void HWND_REC_LOG::HandleMessage(MSG_REC* record) {
    const char* text = reinterpret_cast<const char*>(static_cast<intptr_t>(record->lParam));
    if (text && !IsReadableText(text)) return;
    ReportToLog(static_cast<int>(record->wParam & 0xFFFF), text);
}
