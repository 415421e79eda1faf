#include "sim/GatewaySim.h"

#include "commands/CommandLine.h"
#include "model/Error.h"
#include "os/Files.h"
#include "os/ServerLink.h"
#include "sim/WireClock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <iostream>
#include <optional>
#include <random>

namespace zelo::sim {

using Clock = WireClock::Clock;

WireClock::Clock::duration WireClock::WireTime(std::size_t bytes) const {
    if (baud_ <= 0)
        return Clock::duration::zero();
    const auto ns = static_cast<long long>(bytes) * 10'000'000'000LL / baud_;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns));
}

WireClock::Clock::time_point WireClock::Receive(Clock::time_point now, std::size_t bytes) {
    if (baud_ <= 0)
        return now;
    receiveFree_ = std::max(receiveFree_, now) + WireTime(bytes);
    return receiveFree_;
}

WireClock::Clock::time_point WireClock::Send(Clock::time_point ready, std::size_t bytes) {
    if (baud_ <= 0)
        return ready;
    sendFree_ = std::max(sendFree_, ready) + WireTime(bytes);
    return sendFree_;
}

namespace {

// A command longer than this is answered as malformed; only its start is kept, so a sender that never ends
// its line cannot make the simulator grow without bound.
constexpr std::size_t MaxCommand = 4096;
// Answers the simulator writes itself stay below the 100 bytes a client reads as one answer.
constexpr std::size_t MaxErrorAnswer = 99;
// A download counts as complete once the link has been quiet this long after the configuration changed.
constexpr auto DumpIdle = std::chrono::milliseconds(100);
// The bus lines keep out of a download's way: none while commands come and answers go or this long after,
// none this long after a TCP client came (it may be a download about to send its first command).
constexpr auto BusQuiet = std::chrono::milliseconds(500);
constexpr auto BusAfterConnect = std::chrono::milliseconds(300);
// Bus lines are dropped, as on a bus nobody listens to, while this much is still unsent.
constexpr std::size_t BusBacklog = 8192;

struct BusRange {
    std::uint16_t Start;
    std::uint16_t End;
};

// The reason may quote the command, and the command may hold control bytes; none of them belongs in an
// answer.
std::string ErrorAnswer(const std::string& reason, std::size_t terminatorSize) {
    std::string text = "ERR " + reason;
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    const std::size_t room = MaxErrorAnswer - terminatorSize;
    if (text.size() > room)
        text.resize(room);
    return text;
}

struct PendingAnswer {
    Clock::time_point Due;
    std::string Bytes;
};

} // namespace

struct GatewaySim::Impl {
    explicit Impl(SimOptions o) : options(std::move(o)), wire(options.Baud), random(options.Seed) {}

    SimOptions options;

    mutable std::mutex mutex; // guards configuration and received
    std::vector<std::string> configuration;
    std::vector<std::string> received;

    std::unique_ptr<os::ServerLink> link; // the pseudo-terminal or the TCP port

    std::thread thread;
    std::atomic<bool> stopRequest{false};

    // Protocol state, touched only by the serving thread.
    std::string partial;
    bool afterCr = false;
    long commands = 0;
    int lineAfterErase = 0;
    WireClock wire;
    std::mt19937 random;
    std::deque<PendingAnswer> pending;
    std::string out;
    bool dirty = false;
    Clock::time_point lastActivity{};
    bool dumpFailureReported = false;

    // The bus, from the configuration held (rebuilt when it changes).
    bool busStale = true;
    std::vector<BusRange> busRanges;
    std::size_t busAddresses = 0;
    std::uint16_t busSource = 0x11FF;
    bool busPrintSource = false;
    bool busHex = false;
    std::uint64_t busCount = 0;
    Clock::time_point nextBus{};
    Clock::time_point busHeldUntil{};

    void ReadBusConfiguration() {
        busStale = false;
        busRanges.clear();
        busAddresses = 0;
        std::lock_guard lock(mutex);
        for (const auto& line : configuration) {
            const ParsedLine parsed = ParseCommandLine(line);
            if (parsed.Kind == LineKind::Setup) {
                busSource = parsed.PhysicalAddress;
                busPrintSource = parsed.PrintSource;
                busHex = parsed.PrintHex;
            } else if (parsed.Kind == LineKind::Group && parsed.EndAddress >= parsed.StartAddress) {
                busRanges.push_back({parsed.StartAddress, parsed.EndAddress});
                busAddresses += parsed.EndAddress - parsed.StartAddress + 1u;
            }
        }
    }

    // The next line of the bus: the configured addresses in turn, each from a device of the gateway's own
    // line, with a value that changes.
    std::string BusLine() {
        std::size_t index = static_cast<std::size_t>(busCount % busAddresses);
        std::uint16_t address = 0;
        for (const auto& range : busRanges) {
            const std::size_t size = range.End - range.Start + 1u;
            if (index < size) {
                address = static_cast<std::uint16_t>(range.Start + index);
                break;
            }
            index -= size;
        }
        char text[64];
        std::string line;
        if (busPrintSource) {
            std::snprintf(text, sizeof text, "%u.%u.%u ", busSource >> 12, (busSource >> 8) & 15u,
                          static_cast<unsigned>(busCount % 50 + 1));
            line += text;
        }
        if (busHex)
            std::snprintf(text, sizeof text, "%04X", address);
        else
            std::snprintf(text, sizeof text, "%u/%u/%u", (address >> 11) & 15u, (address >> 8) & 7u,
                          address & 255u);
        line += text;
        std::snprintf(text, sizeof text, " W %02X\r\n", static_cast<unsigned>(busCount * 7 % 256));
        line += text;
        ++busCount;
        return line;
    }

    // When the next bus line is due, or nothing when the bus is off.
    std::optional<Clock::time_point> BusDue() {
        if (options.BusRate <= 0)
            return std::nullopt;
        if (busStale)
            ReadBusConfiguration();
        if (busAddresses == 0)
            return std::nullopt;
        return std::max(nextBus, std::max(busHeldUntil, lastActivity + BusQuiet));
    }

    void EmitBus(Clock::time_point now) {
        const auto due = BusDue();
        if (!due || *due > now)
            return;
        const auto period =
            std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / options.BusRate;
        // After a pause the bus starts afresh instead of catching up.
        if (nextBus < *due)
            nextBus = *due;
        while (nextBus <= now) {
            if (out.size() < BusBacklog)
                out += BusLine();
            nextBus += period;
        }
    }

    void ResetConnection() {
        partial.clear();
        afterCr = false;
        pending.clear();
        out.clear();
    }

    std::string Terminator() const { return options.CrLf ? "\r\n" : "\r"; }

    std::string GarbageAnswer() {
        std::uniform_int_distribution<int> length(1, 120);
        std::uniform_int_distribution<int> byte(0, 255);
        std::bernoulli_distribution endsWithCr(0.7);
        for (;;) {
            std::string bytes(static_cast<std::size_t>(length(random)), '\0');
            for (char& c : bytes)
                c = static_cast<char>(byte(random));
            if (endsWithCr(random))
                bytes.back() = '\r';
            if (bytes != "Ok\r" && bytes != "Ok")
                return bytes;
        }
    }

    // Judges one complete command and returns the answer text, or nothing when the simulator stays silent.
    std::optional<std::string> Handle(const std::string& command) {
        std::lock_guard lock(mutex);
        received.push_back(command);
        ++commands;
        if (options.SilentAfter >= 0 && commands > options.SilentAfter)
            return std::nullopt; // hung: takes nothing in any more
        if (command == "#CG" || command == "#CF") {
            configuration.clear();
            lineAfterErase = 0;
            dirty = true;
            busStale = true;
            return std::string("Ok");
        }
        if (command == "#RESET")
            return std::string("Ok");
        ++lineAfterErase;
        if (options.RefuseLine > 0 && lineAfterErase == options.RefuseLine)
            return options.RefuseText;
        if (command.size() >= MaxCommand)
            return ErrorAnswer("command longer than " + std::to_string(MaxCommand - 1) + " bytes",
                               Terminator().size());
        ParsedLine parsed = ParseCommandLine(command);
        if (parsed.Kind == LineKind::Invalid)
            return ErrorAnswer(parsed.Reason, Terminator().size());
        configuration.push_back(command);
        dirty = true;
        busStale = true;
        return std::string("Ok");
    }

    void Complete(Clock::time_point arrived) {
        std::optional<std::string> text = Handle(partial);
        partial.clear();
        if (!text)
            return;
        std::string bytes = options.Garbage ? GarbageAnswer() : *text + Terminator();
        Clock::time_point due = wire.Send(arrived + std::chrono::milliseconds(options.DelayMs), bytes.size());
        if (!pending.empty())
            due = std::max(due, pending.back().Due);
        pending.push_back({due, std::move(bytes)});
    }

    void Take(const char* data, std::size_t size, Clock::time_point now) {
        lastActivity = now;
        std::size_t segment = 0; // start of the bytes not yet put on the emulated wire
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            // A client that ends its commands with CR LF still gets one answer per command.
            if (c == '\n' && afterCr) {
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            if (c == '\r') {
                Clock::time_point arrived = wire.Receive(now, i + 1 - segment);
                segment = i + 1;
                Complete(arrived);
            } else if (partial.size() < MaxCommand) {
                partial += c;
            }
        }
        if (segment < size)
            wire.Receive(now, size - segment);
    }

    void FlushDue(Clock::time_point now) {
        while (!pending.empty() && pending.front().Due <= now) {
            out += pending.front().Bytes;
            pending.pop_front();
            lastActivity = now; // a slow answer is part of the download, not quiet after it
        }
        while (!out.empty()) {
            const long n = link->Write(out.data(), out.size());
            if (n > 0) {
                out.erase(0, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0)
                Disconnect();
            break; // the wait asks for room
        }
    }

    void Disconnect() {
        ResetConnection();
        DumpIfDirty();
    }

    void DumpIfDirty() {
        if (!dirty)
            return;
        dirty = false;
        TryDump();
    }

    void TryDump() {
        if (options.DumpFile.empty())
            return;
        try {
            WriteDump();
        } catch (const std::exception& e) {
            if (!dumpFailureReported)
                std::cerr << "zelo-gateway-sim: " << e.what() << '\n';
            dumpFailureReported = true;
        }
    }

    void WriteDump() const {
        if (options.DumpFile.empty())
            return;
        std::string text;
        {
            std::lock_guard lock(mutex);
            for (const auto& line : configuration)
                text += line + "\n";
        }
        // Readers never see a half-written file.
        os::ReplaceFileContents(options.DumpFile, text);
    }

    void ReadLink(Clock::time_point now) {
        char buffer[4096];
        for (;;) {
            const long n = link->Read(buffer, sizeof buffer);
            if (n < 0)
                Disconnect(); // the client left (or the connection broke); the next one may come
            if (n <= 0)
                return;
            Take(buffer, static_cast<std::size_t>(n), now);
        }
    }
};

GatewaySim::GatewaySim(SimOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

GatewaySim::~GatewaySim() {
    Stop();
    impl_->TryDump();
}

std::string GatewaySim::OpenPty(const std::string& linkPath) {
    if (impl_->link)
        throw Exception("the simulator already listens");
    impl_->link = os::ServerLink::OpenPty(linkPath);
    return impl_->link->Name();
}

int GatewaySim::ListenTcp(int port) {
    if (impl_->link)
        throw Exception("the simulator already listens");
    if (port < 0 || port > 65535)
        throw Exception("port " + std::to_string(port) + " out of range 0..65535");
    impl_->link = os::ServerLink::ListenTcp(port);
    return std::stoi(impl_->link->Name());
}

void GatewaySim::Start() {
    if (impl_->thread.joinable())
        throw Exception("the simulator already runs");
    impl_->stopRequest = false;
    impl_->thread = std::thread([this] {
        try {
            Run(impl_->stopRequest);
        } catch (const std::exception& e) {
            std::cerr << "zelo-gateway-sim: " << e.what() << '\n';
        }
    });
}

void GatewaySim::Stop() {
    if (!impl_->thread.joinable())
        return;
    impl_->stopRequest = true;
    Wake();
    impl_->thread.join();
}

void GatewaySim::Wake() const noexcept {
    if (impl_->link)
        impl_->link->Wake();
}

void GatewaySim::Run(const std::atomic<bool>& stop) {
    Impl& d = *impl_;
    if (!d.link)
        throw Exception("the simulator has neither a pseudo-terminal nor a TCP port");
    while (!stop && !d.stopRequest) {
        // Sleep exactly until the next answer is due or the link has been idle long enough for a dump.
        std::optional<Clock::time_point> wakeAt;
        if (!d.pending.empty())
            wakeAt = d.pending.front().Due;
        if (d.dirty && !d.options.DumpFile.empty()) {
            const Clock::time_point idle = d.lastActivity + DumpIdle;
            wakeAt = wakeAt ? std::min(*wakeAt, idle) : idle;
        }
        if (const auto bus = d.BusDue())
            wakeAt = wakeAt ? std::min(*wakeAt, *bus) : *bus;
        if (d.link->Wait(wakeAt, !d.out.empty())) {
            d.ResetConnection();
            d.busHeldUntil = Clock::now() + BusAfterConnect;
        }
        d.ReadLink(Clock::now());
        d.EmitBus(Clock::now());
        d.FlushDue(Clock::now());
        if (d.dirty && d.pending.empty() && Clock::now() >= d.lastActivity + DumpIdle)
            d.DumpIfDirty();
    }
    d.dirty = false;
    d.TryDump();
}

std::vector<std::string> GatewaySim::Configuration() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->configuration;
}

std::vector<std::string> GatewaySim::Received() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

void GatewaySim::Dump() const {
    impl_->WriteDump();
}

} // namespace zelo::sim
