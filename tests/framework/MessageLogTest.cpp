#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "framework/StartupObjects.h"
#include "support/MessageLog.h"
#include "FrameworkTestSupport.h"

namespace {

class Listener final : public APPLI_MSG {
  public:
    Listener(const char* name, const char* label, std::vector<std::string>* heard)
        : APPLI_MSG(name), label_(label), heard_(heard) {}
    void HandleMessage(MSG_REC* record) override {
        heard_->push_back(label_);
        record->result = 42;
    }

  private:
    std::string label_;
    std::vector<std::string>* heard_;
};

MSG_REC Record(uint32_t message, uint32_t wParam, int32_t lParam) {
    return MSG_REC{nullptr, message, wParam, lParam, 0, 0};
}

TEST(Receivers, AllReceiversOfOneNameAreCalledNewestFirst) {
    std::vector<std::string> heard;
    Listener older("FwTestMessage", "older", &heard);
    Listener newer("FwTestMessage", "newer", &heard);
    Listener other("FwTestOther", "other", &heard);
    ASSERT_NE(0u, older.messageNumber);
    EXPECT_EQ(older.messageNumber, newer.messageNumber);
    EXPECT_NE(older.messageNumber, other.messageNumber);

    MSG_REC record = Record(older.messageNumber, 0, 0);
    EXPECT_EQ(1, DispatchRegisteredMessage(&record));
    EXPECT_EQ((std::vector<std::string>{"newer", "older"}), heard);
    EXPECT_EQ(42, record.result);

    MSG_REC unknown = Record(WM_USER, 0, 0);
    EXPECT_EQ(0, DispatchRegisteredMessage(&unknown));
}

TEST(Receivers, LeavingFromTheMiddleKeepsTheRegistryLinked) {
    std::vector<std::string> heard;
    Listener a("FwTestLink", "a", &heard);
    Listener* b = new Listener("FwTestLink", "b", &heard);
    Listener c("FwTestLink", "c", &heard);
    delete b;
    EXPECT_EQ(&a, c.next);
    EXPECT_EQ(&c, a.previous);
    MSG_REC record = Record(a.messageNumber, 0, 0);
    DispatchRegisteredMessage(&record);
    EXPECT_EQ((std::vector<std::string>{"c", "a"}), heard);
}

TEST(Receivers, AReceiverWithoutANameStaysOutOfTheRegistry) {
    std::vector<std::string> heard;
    APPLI_MSG* headBefore = APPLI_MSG::s_head;
    APPLI_MSG* tailBefore = APPLI_MSG::s_tail;
    {
        Listener unnamed(nullptr, "unnamed", &heard);
        Listener empty("", "empty", &heard);
        EXPECT_EQ(0, unnamed.IsRegistered());
        EXPECT_EQ(0u, empty.messageNumber);
        EXPECT_EQ(headBefore, APPLI_MSG::s_head);
        MSG_REC record = Record(0, 0, 0);
        EXPECT_EQ(0, DispatchRegisteredMessage(&record));
    }
    EXPECT_EQ(headBefore, APPLI_MSG::s_head);
    EXPECT_EQ(tailBefore, APPLI_MSG::s_tail);
}

TEST(Receivers, NameIsCutTo127) {
    std::vector<std::string> heard;
    std::string longName(200, 'q');
    Listener named(longName.c_str(), "long", &heard);
    EXPECT_EQ(std::string(127, 'q'), named.name);
}

class LogReceiver : public ::testing::Test {
  protected:
    std::vector<LogLine> journal;
    RecordingChannel all{0, &journal};
    RecordingChannel payload{69, &journal};
    uint32_t number = g_LogReceiver.messageNumber;
};

TEST_F(LogReceiver, ReportsOnTheLow16BitsOfTheChannelThenOnChannelZero) {
    EXPECT_EQ(RegisterWindowMessageA("QorPassLogMess"), number);
    char text[] = "Checkword erreur";
    MSG_REC record = Record(number, 0x10045, reinterpret_cast<int32_t>(text));
    EXPECT_EQ(1, DispatchRegisteredMessage(&record));
    EXPECT_EQ((std::vector<LogLine>{{69, text}, {0, text}}), journal);

    journal.clear();
    record = Record(number, 0, reinterpret_cast<int32_t>(text));
    DispatchRegisteredMessage(&record);
    EXPECT_EQ((std::vector<LogLine>{{0, text}}), journal); // once
}

TEST_F(LogReceiver, WithoutATextReportsTheDefaultLogText) {
    MSG_REC record = Record(number, 69, 0);
    DispatchRegisteredMessage(&record);
    EXPECT_EQ((std::vector<LogLine>{{69, g_DefaultLogText}, {0, g_DefaultLogText}}), journal);
}

TEST_F(LogReceiver, DropsATextThatIsNotReadableMemory) {
    // Another program may post any number as the text's address.
    void* page = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    ASSERT_NE(nullptr, page);
    memset(page, 'x', 4096); // no terminator before the end of the readable region
    const int32_t bad[] = {1, 0x10, reinterpret_cast<int32_t>(page)};
    for (int32_t address : bad) {
        MSG_REC record = Record(number, 69, address);
        DispatchRegisteredMessage(&record);
    }
    EXPECT_TRUE(journal.empty());
    static_cast<char*>(page)[4095] = 0; // control: the same memory, terminated
    MSG_REC record = Record(number, 69, reinterpret_cast<int32_t>(page));
    DispatchRegisteredMessage(&record);
    ASSERT_EQ(2u, journal.size());
    EXPECT_EQ(4095u, journal[0].text.size());
    VirtualFree(page, 0, MEM_RELEASE);
}

} // namespace
