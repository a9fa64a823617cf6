#pragma once

#include <termios.h>

#include <chrono>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tkan::test {

// The instrument's end of a pseudo-terminal: the code under test opens
// SlavePath() as its serial port, the test talks from the master side.
class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& SlavePath() const { return slavePath_; }

    void Send(std::string_view bytes);
    // Sends from a thread of its own after the delay, while the test reads.
    void SendLater(std::chrono::milliseconds delay, std::string bytes);
    // What the port wrote: up to count bytes, or fewer after timeoutMs.
    std::string Receive(std::size_t count, int timeoutMs = 1000);
    // The line settings the port put on the terminal, read from our side.
    termios SlaveSettings() const;
    // The instrument goes away: the port sees a hang-up.
    void Hangup();

private:
    int master_ = -1;
    std::string slavePath_;
    std::vector<std::thread> senders_;
};

}  // namespace tkan::test
