#include "support/PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace tkan::test {

PtyPeer::PtyPeer()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("cannot create a pseudo-terminal");
    const char* name = ::ptsname(master_);
    if (!name)
        throw std::runtime_error("pseudo-terminal has no name");
    slavePath_ = name;
}

PtyPeer::~PtyPeer()
{
    for (auto& sender : senders_)
        sender.join();
    Hangup();
}

void PtyPeer::Send(std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(master_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw std::runtime_error("cannot write to the pseudo-terminal");
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void PtyPeer::SendLater(std::chrono::milliseconds delay, std::string bytes)
{
    senders_.emplace_back([this, delay, bytes = std::move(bytes)] {
        std::this_thread::sleep_for(delay);
        Send(bytes);
    });
}

std::string PtyPeer::Receive(std::size_t count, int timeoutMs)
{
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd waiting{master_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[512];
        ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

termios PtyPeer::SlaveSettings() const
{
    termios settings{};
    if (::tcgetattr(master_, &settings) != 0)
        throw std::runtime_error("cannot read the terminal settings");
    return settings;
}

void PtyPeer::Hangup()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

}  // namespace tkan::test
