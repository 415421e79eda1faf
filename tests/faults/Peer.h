#pragma once
// A small scripted gateway for the fault tests, on a pseudo-terminal or a loopback TCP port: it records every
// command and does with each what the test's script says (answer, answer late, stay silent, hang up, reset).
// The script runs on the peer's thread and may block on a Gate the test opens, so a test can act (send a
// signal, start a second program) at an exact point of the conversation without any timing.
#include "RawPty.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelo::test {

struct Reply {
    enum class Action { Answer, Silent, Close, Reset };
    Action What = Action::Answer;
    std::string Bytes = "Ok\r";
    std::chrono::milliseconds Delay{0}; // a slow gateway: the answer goes out this much later
    std::string BeforeHangUp{};         // Close: written just before
};

// index counts the commands from 0 across every connection.
using Script = std::function<Reply(std::size_t index, const std::string& command)>;

// Answers "Ok" to everything.
Reply AlwaysOk(std::size_t, const std::string&);

// Holds the peer's thread until the test opens it (or a generous limit passes, so a failing test cannot
// hang).
class Gate {
public:
    void Open();
    void Wait();

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

class Peer {
public:
    enum class Transport { Pty, Tcp };
    Peer(Transport transport, Script script);
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    Transport Kind() const { return transport_; }
    // The options that make zeloctl download into this peer.
    std::vector<std::string> LinkArgs() const;
    // The serial side of the pseudo-terminal; the peer keeps it open itself, so bytes written while no client
    // has the port stay queued for the next one, as on a real port.
    const std::string& SlavePath() const { return pty_->SlavePath(); }
    int SlaveFd() const { return pty_->SlaveFd(); }

    std::vector<std::string> Commands() const;
    // Waits until that many commands have come, or the limit passed (false).
    bool WaitForCommands(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    // Waits until that many replies have been carried out (an answer written, a hang-up done).
    bool WaitForReplies(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    // Waits until the client has closed its end (TCP), or the limit passed.
    bool WaitForClientToLeave(std::chrono::milliseconds limit = std::chrono::seconds(20)) const;

private:
    void Serve();
    void Act(const Reply& reply);
    int LinkFd() const { return transport_ == Transport::Pty ? pty_->MasterFd() : client_; }

    Transport transport_;
    Script script_;
    std::unique_ptr<RawPty> pty_;
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    bool stop_ = false;
    std::string partial_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> commands_;
    std::size_t replies_ = 0;
    bool clientGone_ = false;
    std::thread thread_;
};

} // namespace zelo::test
