#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "framework/Objet.h"

namespace {

// Records its own destruction in a shared journal; may refuse to close.
class Node : public OBJET {
  public:
    Node(OBJET* owner, std::vector<std::string>* journal, const char* label, int refuses = 0)
        : OBJET(owner, 0), journal_(journal), label_(label), refuses_(refuses) {}
    ~Node() override { journal_->push_back(label_); }
    int CanClose() override { return refuses_ ? 0 : 1; }

  private:
    std::vector<std::string>* journal_;
    std::string label_;
    int refuses_;
};

TEST(ObjectTree, DeletingAnOwnerDeletesChildrenNewestFirstAndKeepsCounts) {
    std::vector<std::string> gone;
    int32_t before = OBJET::s_liveCount;
    Node* owner = new Node(nullptr, &gone, "owner");
    Node* a = new Node(owner, &gone, "A");
    new Node(owner, &gone, "B");
    Node* c = new Node(owner, &gone, "C");
    new Node(a, &gone, "A1");
    EXPECT_EQ(before + 5, OBJET::s_liveCount);
    EXPECT_EQ(c, owner->firstChild);
    EXPECT_EQ(a, owner->lastChild);
    EXPECT_EQ(3, owner->childrenCreated);

    delete owner;
    // Each entry is written as its object's destruction starts, before its own children go.
    EXPECT_EQ((std::vector<std::string>{"owner", "C", "B", "A", "A1"}), gone);
    EXPECT_EQ(before, OBJET::s_liveCount);
}

TEST(ObjectTree, DeletingChildrenRelinksSiblingsAndCountsOnTheOwner) {
    std::vector<std::string> gone;
    Node owner(nullptr, &gone, "owner");
    Node* a = new Node(&owner, &gone, "A");
    Node* b = new Node(&owner, &gone, "B");
    Node* c = new Node(&owner, &gone, "C");

    delete b; // middle
    EXPECT_EQ(a, c->nextSibling);
    EXPECT_EQ(c, a->prevSibling);
    EXPECT_EQ(3, owner.childrenCreated);
    EXPECT_EQ(1, owner.childrenDestroyed);

    delete c; // newest
    EXPECT_EQ(a, owner.firstChild);
    EXPECT_EQ(nullptr, a->prevSibling);
    delete a; // the only one left
    EXPECT_EQ(nullptr, owner.firstChild);
    EXPECT_EQ(nullptr, owner.lastChild);
    EXPECT_EQ(3, owner.childrenDestroyed);
}

TEST(ObjectTree, WatcherIsClearedWhenTheObjectGoes) {
    std::vector<std::string> gone;
    Node* watched = new Node(nullptr, &gone, "w");
    OBJET* pointer = watched;
    watched->watcher = &pointer;
    delete watched;
    EXPECT_EQ(nullptr, pointer);
}

TEST(ObjectTree, CloseOnAStaticObjectKeepsIt) {
    AUTO_OBJET keeper(nullptr, "Groupe");
    int32_t live = OBJET::s_liveCount;
    EXPECT_EQ(1, keeper.Close());
    EXPECT_EQ(live, OBJET::s_liveCount);
}

TEST(ObjectTree, CloseTreeStopsAtARefusingChild) {
    std::vector<std::string> gone;
    Node* owner = new Node(nullptr, &gone, "owner");
    new Node(owner, &gone, "A");
    new Node(owner, &gone, "B", 1); // refuses
    new Node(owner, &gone, "C");

    EXPECT_EQ(0, owner->CloseTree(0)); // only asks
    EXPECT_TRUE(gone.empty());

    EXPECT_EQ(0, owner->CloseTree(1)); // C is visited (and closed) before B refuses
    EXPECT_EQ(std::vector<std::string>{"C"}, gone);
    delete owner;
}

TEST(ObjectTree, CloseTreeClosesAnAgreeingTreeBottomUp) {
    std::vector<std::string> gone;
    Node* owner = new Node(nullptr, &gone, "owner");
    Node* a = new Node(owner, &gone, "A");
    new Node(a, &gone, "A1");
    new Node(owner, &gone, "B");
    EXPECT_EQ(1, owner->CloseTree(1));
    EXPECT_EQ((std::vector<std::string>{"B", "A1", "A", "owner"}), gone);
}

TEST(ObjectTree, GetNameWritesTheTypeNumberWithinTheCapacity) {
    OBJET plain(nullptr, 0);
    char name[8] = "xxxxxxx";
    plain.GetName(0, name, sizeof name);
    EXPECT_STREQ("0", name);

    plain.typeNumber = -1; // ten digits: must not run past a small buffer
    char small[5] = {'x', 'x', 'x', 'x', 'x'};
    plain.GetName(0, small, 4);
    EXPECT_STREQ("429", small);
    EXPECT_EQ('x', small[4]);
    plain.GetName(0, nullptr, 4); // no buffer: nothing written

    AUTO_OBJET named(nullptr, "Groupe des BMPs");
    named.GetName(0, name, sizeof name);
    EXPECT_STREQ("Groupe ", name);
}

TEST(ObjectTree, AutoObjectNameIsCutTo79) {
    std::string longName(100, 'n');
    AUTO_OBJET named(nullptr, longName.c_str());
    EXPECT_EQ(std::string(79, 'n'), named.name);
}

TEST(WindowRegistry, FindByHandlePrefersAnExactMatchThenTheNewestPending) {
    HWND wanted = reinterpret_cast<HWND>(0x1234);
    FEN_OBJ older(nullptr);
    FEN_OBJ exact(nullptr);
    FEN_OBJ pendingOld(nullptr);
    FEN_OBJ pendingNew(nullptr);
    exact.handle = wanted;
    pendingOld.handle = PendingMarker();
    pendingNew.handle = PendingMarker();

    EXPECT_EQ(&exact, FEN_OBJ::FindByHandle(wanted, 1));
    EXPECT_EQ(&pendingNew, FEN_OBJ::FindByHandle(reinterpret_cast<HWND>(0x5678), 1));
    EXPECT_EQ(nullptr, FEN_OBJ::FindByHandle(reinterpret_cast<HWND>(0x5678), 0));
    (void)older;
}

TEST(WindowRegistry, EntriesLeaveTheRegistryInAnyOrder) {
    FEN_OBJ* headBefore = FEN_OBJ::s_registryHead;
    FEN_OBJ* a = new FEN_OBJ(nullptr);
    FEN_OBJ* b = new FEN_OBJ(nullptr);
    FEN_OBJ* c = new FEN_OBJ(nullptr);
    EXPECT_EQ(c, FEN_OBJ::s_registryHead);
    delete b;
    EXPECT_EQ(a, c->olderEntry);
    EXPECT_EQ(c, a->newerEntry);
    delete c;
    EXPECT_EQ(a, FEN_OBJ::s_registryHead);
    EXPECT_EQ(nullptr, a->newerEntry);
    delete a;
    EXPECT_EQ(headBefore, FEN_OBJ::s_registryHead);
}

TEST(WindowRegistry, ConstructionDefaultsAndParentHandle) {
    FEN_OBJ owner(nullptr);
    EXPECT_EQ(nullptr, owner.parentHandle);
    EXPECT_EQ(static_cast<uint32_t>(WS_OVERLAPPEDWINDOW), owner.style);
    EXPECT_EQ(CW_USEDEFAULT, owner.x);
    EXPECT_EQ(CW_USEDEFAULT, owner.height);
    owner.handle = reinterpret_cast<HWND>(0x4242);
    FEN_OBJ* child = new FEN_OBJ(&owner);
    EXPECT_EQ(owner.handle, child->parentHandle);
    child->menuId = 7;
    EXPECT_EQ(1, child->HasId(7));
    EXPECT_EQ(0, child->HasId(8));
    owner.handle = nullptr;
}

} // namespace
