#pragma once

// Where the roster goes. It goes to the latest connection on the command
// port, and it holds every student's ID-card number, while any device on
// the school's Wi-Fi can connect to that port. So the send asks first when
// a device other than the one the roster would go to connected since the
// last roster was sent:
//
//   last roster went to | connected since then | roster goes to | asks, naming
//   --------------------+----------------------+----------------+-------------
//   nobody              | A                    | A              | no
//   nobody              | A, B                 | B              | A and B
//   nobody              | A, B, A              | A              | B and A
//   A                   | A (reconnected)      | A              | no
//   A                   | B                    | B              | A and B
//   A                   | C, B                 | B              | A and B
//   A                   | B, A                 | A              | no: the phone of last time
//
// A device is an address without its port: a phone opens a new connection
// (a new port) each time it reconnects.

#include <string>
#include <string_view>
#include <vector>

namespace velmora::app {

class RosterRecipient {
public:
    // A connection on the command port, named as the server names it
    // ("192.168.1.23:50412", "192.168.1.23:50412#2").
    void connected(std::string_view client);
    // The roster went to `client`; the next send compares with its device.
    void sent(std::string_view client);

    // The device to name beside `target`'s before sending to `target`, or ""
    // when the roster may go without a question (see the table above). The
    // device the last roster went to comes first, else the latest other one
    // that connected.
    std::string otherDevice(std::string_view target) const;
    // The device the last roster went to, "" before the first.
    const std::string& lastSentTo() const { return m_lastSentTo; }

    // The device of a client name: the address without ":port" and a
    // "#n" suffix, and an IPv4 address without its "::ffff:" form. An IPv4
    // address without a port is returned as it is.
    static std::string deviceOf(std::string_view client);

private:
    std::string m_lastSentTo;
    std::vector<std::string> m_connectedSince; // devices, oldest first
};

} // namespace velmora::app
