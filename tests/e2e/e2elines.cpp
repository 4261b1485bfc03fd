#include "tests/e2e/e2elines.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace {

struct TEvent
{
    double Ms = 0;
    std::string What;
};

std::vector<TEvent> Parse(const std::string& record)
{
    std::vector<TEvent> events;
    std::istringstream in(record);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos)
            continue;
        events.push_back({std::stod(line.substr(0, space)), line.substr(space + 1)});
    }
    return events;
}

} // namespace

void ExpectBringUpLineSequence(const std::string& record)
{
    const std::vector<TEvent> events = Parse(record);
    ASSERT_GE(events.size(), 5u) << record;
    EXPECT_EQ(events[0].What, "open DTR=1 RTS=1") << record;
    EXPECT_EQ(events[1].What, "DTR=0 RTS=1") << "DTR drops right after the open\n" << record;
    EXPECT_EQ(events[2].What, "DTR=1 RTS=1") << "then DTR goes on, RTS still on\n" << record;
    EXPECT_EQ(events[3].What, "DTR=1 RTS=0") << "then RTS goes off\n" << record;
    EXPECT_EQ(events[4].What, "write") << record;
    // Lower bounds only: a busy machine makes the pauses longer, never shorter.
    EXPECT_GE(events[2].Ms - events[1].Ms, 195.0) << "the pause after opening\n" << record;
    EXPECT_GE(events[4].Ms - events[3].Ms, 95.0) << "the pause after the line change\n" << record;
}
