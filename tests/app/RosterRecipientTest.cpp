// Where the roster goes and when the send asks first: the rows of the table
// in app/RosterRecipient.h, played as connections and sends.

#include "app/RosterRecipient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::app {
namespace {

struct RecipientCase {
    const char* name;
    const char* lastSentTo;                // "" for no roster yet
    std::vector<const char*> connections;  // since then, oldest first
    const char* other;                     // "" when the send asks nothing
};

class RecipientRows : public testing::TestWithParam<RecipientCase> {};

// Guards against a roster of ID-card numbers going to a device nobody
// looked at (no question where one connected in between), and against a
// question each time the phone itself reconnects on a new port.
TEST_P(RecipientRows, AsksOnlyWhenAnotherDeviceConnected)
{
    const RecipientCase& c = GetParam();
    RosterRecipient recipient;
    std::string target;
    if (*c.lastSentTo) {
        recipient.connected(std::string(c.lastSentTo) + ":40000");
        recipient.sent(std::string(c.lastSentTo) + ":40000");
    }
    int port = 50000;
    for (const char* device : c.connections) {
        target = std::string(device) + ":" + std::to_string(port++);
        recipient.connected(target);
    }
    EXPECT_EQ(recipient.otherDevice(target), c.other);
}

INSTANTIATE_TEST_SUITE_P(Table, RecipientRows, testing::Values(
    RecipientCase{"FirstPhone", "", {"192.168.1.23"}, ""},
    RecipientCase{"TwoDevicesBeforeTheFirstRoster", "", {"192.168.1.23", "192.168.1.57"}, "192.168.1.23"},
    RecipientCase{"BackToTheFirstBeforeTheFirstRoster", "", {"192.168.1.23", "192.168.1.57", "192.168.1.23"},
                  "192.168.1.57"},
    RecipientCase{"PhoneReconnected", "192.168.1.23", {"192.168.1.23", "192.168.1.23"}, ""},
    RecipientCase{"AnotherDevice", "192.168.1.23", {"192.168.1.57"}, "192.168.1.23"},
    RecipientCase{"TwoOthersTheLastPhoneNamed", "192.168.1.23", {"192.168.1.80", "192.168.1.57"}, "192.168.1.23"},
    RecipientCase{"BackToTheLastPhone", "192.168.1.23", {"192.168.1.57", "192.168.1.23"}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Guards against one phone taken for two devices because its port, a
// repeat suffix or the IPv4-in-IPv6 form differ.
TEST(RosterRecipient, DeviceIsTheAddressAlone)
{
    EXPECT_EQ(RosterRecipient::deviceOf("192.168.1.23:50412"), "192.168.1.23");
    EXPECT_EQ(RosterRecipient::deviceOf("192.168.1.23:50412#3"), "192.168.1.23");
    EXPECT_EQ(RosterRecipient::deviceOf("::ffff:192.168.1.23:50412"), "192.168.1.23");
    EXPECT_EQ(RosterRecipient::deviceOf("fe80::1:50412"), "fe80::1");
    EXPECT_EQ(RosterRecipient::deviceOf("192.168.1.23"), "192.168.1.23");
}

} // namespace
} // namespace velmora::app
