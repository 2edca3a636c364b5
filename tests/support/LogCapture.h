// A log channel that keeps what it hears, for checking reports.
#pragma once
#include "support/LogChannel.h"

#include <string>
#include <vector>

class LogCapture : public LogChannel {
  public:
    explicit LogCapture(int number) : LogChannel(number) {}
    void ReceiveText(const char* text) override { texts.push_back(text ? text : ""); }
    std::vector<std::string> texts;
};
