#include "support/LogChannel.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(LogChannel, ReportWithoutChannelsGoesNowhere) {
    ReportToLog(69, "Checkword erreur");
    EXPECT_EQ(FindLogChannel(69), nullptr);
}

TEST(LogChannel, ChannelThenChannelZeroByLow16Bits) {
    LogCapture all(0), payload(69);
    ReportToLog(0x10045, "t1");
    ReportToLog(0, "t2");
    ReportToLog(0x10000, "t3"); // names channel 0: heard once
    EXPECT_EQ(payload.texts, (std::vector<std::string>{"t1"}));
    EXPECT_EQ(all.texts, (std::vector<std::string>{"t1", "t2", "t3"}));
}

TEST(LogChannel, MissingTextDeliversDefaultAndNewestChannelWins) {
    LogCapture older(101);
    {
        LogCapture newer(101);
        ReportToLog(101, nullptr);
        EXPECT_EQ(newer.texts, (std::vector<std::string>{""}));
        EXPECT_TRUE(older.texts.empty());
    }
    ReportToLog(101, "after");
    EXPECT_EQ(older.texts, (std::vector<std::string>{"after"}));
}
