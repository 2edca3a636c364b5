// The object tree every framework object lives in: an owner deletes its children, newest first;
// FEN_OBJ adds the window creation attributes, the window handle and the window registry.
#pragma once
#include <windows.h>
#include <stdint.h>
#include "framework/Palette.h"
#include "support/MessageLog.h"

class O_TYPE {
  public:
    O_TYPE() : typeNumber(0) {}
    int32_t typeNumber;
};

class OBJET : public virtual O_TYPE {
  public:
    // Children must live on the heap: the owner deletes them.
    OBJET(OBJET* owner, int isStatic);
    OBJET(const OBJET&) = delete;
    OBJET& operator=(const OBJET&) = delete;

    // The order of these operations is the order derived classes rely on; the spare ones keep
    // their places and do nothing.
    virtual int CanClose();
    virtual ~OBJET();
    virtual int Close();
    virtual int CloseTree(int doClose);
    virtual int Spare1();
    virtual int HasId(int id);
    virtual int Spare2();
    virtual int Spare3(int a, int b);
    virtual void Spare4(int a, int b);
    virtual void Spare5(int a, int b);
    virtual void Spare6(int a, int b);
    virtual void Spare7(int a, int b);
    virtual int Spare8(int a, int b);
    virtual void Spare9(int a, int b);
    virtual void GetName(int ignored, char* buffer, int capacity);
    virtual int IsAfter(OBJET* other);
    virtual int Spare10(int a, int b, int c);
    virtual int Spare11(int a, int b, int c);

    int32_t isStatic; // 1: Close never deletes it
    OBJET* owner;
    OBJET* firstChild;  // attached most recently
    OBJET* lastChild;   // attached first
    OBJET* nextSibling; // attached just before this one
    OBJET* prevSibling; // attached just after this one
    OBJET** watcher;    // cleared when this object goes
    int32_t childrenCreated;
    int32_t childrenDestroyed;

    static int32_t s_liveCount;

  private:
    void LinkToOwner();
    void UnlinkFromOwner();
    void DeleteChildren();
};

// A named object that the close protocol never deletes.
class AUTO_OBJET : public OBJET {
  public:
    AUTO_OBJET(OBJET* owner, const char* name);
    void GetName(int ignored, char* buffer, int capacity) override;
    char name[80];
};

// The arguments of window creation.
struct FEN_ATTRIB {
    uint32_t style;
    int32_t x, y, width, height;
    int32_t menuId; // a child window's control id
    void* createParam;
};

// The handle a dialog object holds while it is being started.
inline HWND PendingMarker() {
    return reinterpret_cast<HWND>(~static_cast<uintptr_t>(0));
}

class FEN_OBJ : public OBJET, public PALETTE, public FEN_ATTRIB {
  public:
    explicit FEN_OBJ(FEN_OBJ* owner);
    ~FEN_OBJ() override;

    int HasId(int id) override;
    virtual int IsDialog();
    virtual void OnMeasureItem(MSG_REC* record);
    virtual void OnDrawItem(MSG_REC* record);
    virtual void OnControlCommand(MSG_REC* record);

    // The newest object with this handle; failing that, with acceptPending, the newest pending.
    static FEN_OBJ* FindByHandle(HWND window, int acceptPending);

    // Offers a command to the oldest child whose id matches; 1 when one took it.
    int RouteCommandToChildren(MSG_REC* record);
    void CenterOnScreen(int dx, int dy);
    // A message box owned by this object's window; without text it shows the previous one.
    int ShowMessage(const char* text, UINT style);

    FEN_OBJ* olderEntry;
    FEN_OBJ* newerEntry;
    HWND handle;
    HWND parentHandle;

    static FEN_OBJ* s_registryHead; // newest
    static FEN_OBJ* s_registryTail; // oldest
};

// The copy of the last text given to ShowMessage.
extern char g_LastMessageText[256];
