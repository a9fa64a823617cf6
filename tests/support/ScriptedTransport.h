#pragma once

#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "device/Transport.h"

namespace tkan::test {

// An instrument that answers each command text with a fixed reply. Reads
// never wait: what has not been queued is a time-out. `whileWaiting` runs at
// each read, where a real transport lets window handlers run.
class ScriptedTransport : public Transport {
public:
    std::map<std::string, std::string> replies;  // command -> bytes sent back
    std::set<std::string> failingCommands;
    std::vector<std::string> sent;
    std::function<void()> whileWaiting;
    bool present = true;

    std::size_t Unread() const { return input_.size(); }

    int Open() override { return present ? 1 : 0; }
    int Close() override { return 1; }
    bool IsOpen() const override { return present; }
    int SendText(const std::string& text) override { return Accept(text); }
    int Write(std::span<const std::uint8_t> data) override { return Accept(std::string(data.begin(), data.end())); }

    int ReadExact(std::span<std::uint8_t> buffer, int) override
    {
        for (std::uint8_t& byte : buffer) {
            char c = 0;
            if (!Take(c))
                return 0;
            byte = static_cast<std::uint8_t>(c);
        }
        return 1;
    }

    // Whatever is queued, up to capacity; nothing queued is silence.
    int ReadAvailable(std::span<std::uint8_t> transfer, std::size_t totalSoFar, std::size_t capacity,
                      std::size_t& received, int) override
    {
        received = 0;
        char c = 0;
        while (received < capacity && totalSoFar + received < transfer.size() && Take(c))
            transfer[totalSoFar + received++] = static_cast<std::uint8_t>(c);
        return abort_ ? 0 : 1;
    }

    int PurgeInput() override
    {
        input_.clear();
        return 1;
    }
    void SetAbort(int flag) override { abort_ = flag; }
    int AbortRequested() const override { return abort_; }

private:
    int Accept(const std::string& command)
    {
        if (failingCommands.count(command))
            return 0;
        sent.push_back(command);
        if (auto reply = replies.find(command); reply != replies.end())
            input_ += reply->second;
        return 1;
    }

    bool Take(char& c)
    {
        if (whileWaiting)
            whileWaiting();
        if (abort_ || input_.empty())
            return false;
        c = input_.front();
        input_.erase(0, 1);
        return true;
    }

    std::string input_;
    int abort_ = 0;
};

}  // namespace tkan::test
