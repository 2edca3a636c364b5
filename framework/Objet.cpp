#include "framework/Objet.h"
#include "framework/AppInstance.h"
#include "support/NewestFirstList.h"
#include "support/Text.h"

int32_t OBJET::s_liveCount;
FEN_OBJ* FEN_OBJ::s_registryHead;
FEN_OBJ* FEN_OBJ::s_registryTail;
char g_LastMessageText[256];

OBJET::OBJET(OBJET* owner_, int isStatic_)
    : isStatic(isStatic_), owner(owner_), firstChild(nullptr), lastChild(nullptr),
      nextSibling(nullptr), prevSibling(nullptr), watcher(nullptr), childrenCreated(0),
      childrenDestroyed(0) {
    ++s_liveCount;
    if (owner) {
        ++owner->childrenCreated;
        LinkToOwner();
    }
}

OBJET::~OBJET() {
    --s_liveCount;
    if (owner) ++owner->childrenDestroyed;
    DeleteChildren();
    if (watcher) *watcher = nullptr;
    UnlinkFromOwner();
}

static NewestFirstList<OBJET> ChildrenOf(OBJET* owner) {
    return {owner->firstChild, owner->lastChild, &OBJET::nextSibling, &OBJET::prevSibling};
}

static constexpr NewestFirstList<FEN_OBJ> s_registry = {
    FEN_OBJ::s_registryHead, FEN_OBJ::s_registryTail, &FEN_OBJ::olderEntry, &FEN_OBJ::newerEntry};

void OBJET::LinkToOwner() {
    ChildrenOf(owner).PushNewest(this);
}

void OBJET::UnlinkFromOwner() {
    if (owner) ChildrenOf(owner).Remove(this);
}

// Each child unlinks itself as it goes, so the newest is always first.
void OBJET::DeleteChildren() {
    while (firstChild)
        delete firstChild;
}

int OBJET::CanClose() {
    return 1;
}

int OBJET::Close() {
    if (!CanClose()) return 0;
    if (!isStatic) delete this;
    return 1;
}

int OBJET::CloseTree(int doClose) {
    for (OBJET* child = firstChild; child;) {
        // The child may delete itself.
        OBJET* next = child->nextSibling;
        if (!child->CloseTree(doClose)) return 0;
        child = next;
    }
    return doClose ? Close() : CanClose();
}

int OBJET::Spare1() {
    return 0;
}
int OBJET::HasId(int) {
    return 0;
}
int OBJET::Spare2() {
    return 0;
}
int OBJET::Spare3(int, int) {
    return 0;
}
void OBJET::Spare4(int a, int b) {
    Spare5(a, b);
}
void OBJET::Spare5(int, int) {}
void OBJET::Spare6(int, int) {}
void OBJET::Spare7(int, int) {}
int OBJET::Spare8(int, int) {
    return 0;
}
void OBJET::Spare9(int, int) {}
int OBJET::Spare10(int, int, int) {
    return 0;
}
int OBJET::Spare11(int, int, int) {
    return 0;
}

void OBJET::GetName(int, char* buffer, int capacity) {
    if (!buffer) return;
    // Through a buffer of our own: the caller's capacity may be smaller than the number.
    char digits[12];
    NumberToText(static_cast<uint32_t>(typeNumber), digits, 10);
    TextCopy(buffer, digits, capacity);
}

int OBJET::IsAfter(OBJET* other) {
    return reinterpret_cast<uintptr_t>(other) < reinterpret_cast<uintptr_t>(this) ? 1 : 0;
}

AUTO_OBJET::AUTO_OBJET(OBJET* owner_, const char* name_) : OBJET(owner_, 1) {
    name[0] = 0;
    TextCopy(name, name_, sizeof name);
}

void AUTO_OBJET::GetName(int, char* buffer, int capacity) {
    TextCopy(buffer, name, capacity);
}

FEN_OBJ::FEN_OBJ(FEN_OBJ* owner_) : OBJET(owner_, 0), FEN_ATTRIB() {
    style = WS_OVERLAPPEDWINDOW;
    x = y = width = height = CW_USEDEFAULT;
    menuId = 0;
    createParam = nullptr;
    handle = nullptr;
    s_registry.PushNewest(this);
    parentHandle = owner_ ? owner_->handle : nullptr;
}

FEN_OBJ::~FEN_OBJ() {
    s_registry.Remove(this);
}

int FEN_OBJ::HasId(int id) {
    return id == menuId ? 1 : 0;
}
int FEN_OBJ::IsDialog() {
    return 0;
}
void FEN_OBJ::OnMeasureItem(MSG_REC*) {}
void FEN_OBJ::OnDrawItem(MSG_REC*) {}
void FEN_OBJ::OnControlCommand(MSG_REC*) {}

FEN_OBJ* FEN_OBJ::FindByHandle(HWND window, int acceptPending) {
    for (FEN_OBJ* entry = s_registryHead; entry; entry = entry->olderEntry) {
        if (entry->handle == window) return entry;
    }
    if (!acceptPending) return nullptr;
    for (FEN_OBJ* entry = s_registryHead; entry; entry = entry->olderEntry) {
        if (entry->handle == PendingMarker()) return entry;
    }
    return nullptr;
}

// The window object that object is, or null for a plain object. Every window object is in the
// registry for its whole life, so the stub needs no run-time type information to tell.
static FEN_OBJ* RegisteredWindowObject(const OBJET* object) {
    for (FEN_OBJ* entry = FEN_OBJ::s_registryHead; entry; entry = entry->olderEntry) {
        if (static_cast<OBJET*>(entry) == object) return entry;
    }
    return nullptr;
}

int FEN_OBJ::RouteCommandToChildren(MSG_REC* record) {
    int id = static_cast<int>(record->wParam & 0xFFFF);
    for (OBJET* child = lastChild; child; child = child->prevSibling) {
        if (!child->HasId(id)) continue;
        // Only window objects take commands; a plain object that claims the id is passed over.
        if (FEN_OBJ* target = RegisteredWindowObject(child)) {
            target->OnControlCommand(record);
            return 1;
        }
    }
    return 0;
}

void FEN_OBJ::CenterOnScreen(int dx, int dy) {
    RECT r;
    if (!GetWindowRect(handle, &r)) return;
    int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2 + dx;
    int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2 + dy;
    // Moving never activates: showing the window does, when it should.
    SetWindowPos(handle, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int FEN_OBJ::ShowMessage(const char* text, UINT style_) {
    if (text) TextCopy(g_LastMessageText, text, sizeof g_LastMessageText);
    return AppMessageBox(g_LastMessageText, style_, handle);
}
