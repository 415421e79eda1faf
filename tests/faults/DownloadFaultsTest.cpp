// zeloctl download under faults: input that cannot be read, termination signals, a second opener, answers
// left over from an earlier exchange, a link that goes away, a host that does not answer, answers with
// control characters, a port the user may not open.
#include "Peer.h"
#include "Process.h"
#include "Unprivileged.h"
#include "Watchdog.h"
#include "device/SerialPort.h"
#include "model/Error.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <thread>

#include <fstream>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace zelo;
using namespace zelo::test;
using Clock = std::chrono::steady_clock;

namespace {

const std::vector<std::string> Lines{"#SETUP=1.1.1;OFF;OFF;OFF", "#DG1/2/3=BIT;RW", "#DG1/2/4=BIT;RW",
                                     "#DG1/2/5=BIT;RW", "#DG1/2/6=BIT;RW"};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

// Quiet: standard error holds the messages alone.
std::vector<std::string> Download(const std::vector<std::string>& options, bool quiet = true) {
    std::vector<std::string> args{BuiltProgram("zeloctl"), "download"};
    if (quiet)
        args.emplace_back("--quiet");
    args.insert(args.end(), options.begin(), options.end());
    return args;
}

std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The commands a complete conversation of these lines consists of.
std::vector<std::string> Conversation(std::size_t lines) {
    std::vector<std::string> all{"#CG", "#CF"};
    all.insert(all.end(), Lines.begin(), Lines.begin() + static_cast<long>(lines));
    return all;
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A folder others may enter, for the cases that run as nobody.
struct SharedDir : TempDir {
    SharedDir() { std::filesystem::permissions(Path(), std::filesystem::perms(0755)); }
};

} // namespace

// Every read error of an input file is an error, never an empty list, and it comes before the port is
// touched: nothing is erased for a list or a link that could not be read.
TEST(InputFaults, WhatCannotBeReadIsRefusedBeforeAnythingIsSent) {
    SharedDir dir;
    std::filesystem::create_directory(dir.File("folder"));
    const std::string locked = dir.Write("locked.txt", Joined(Lines));
    ::chmod(locked.c_str(), 0600);
    const std::string lockedIni = dir.Write("locked.ini", "[SerialPort]\r\nDevice=/dev/null\r\n");
    ::chmod(lockedIni.c_str(), 0600);
    std::string why;
    const auto nobody = Unprivileged(why);
    const struct {
        const char* name;
        bool throughPeer; // the link options name the peer; otherwise only the settings file could
        std::vector<std::string> options;
        std::string input;
        bool unprivileged;
        std::string err;
    } cases[] = {
        {"a folder as the list",
         true,
         {dir.File("folder")},
         "",
         false,
         "Can't read " + dir.File("folder") + ": Is a directory\n"},
        {"a list that is not there",
         true,
         {dir.File("gone.txt")},
         "",
         false,
         "Can't read " + dir.File("gone.txt") + ": No such file or directory\n"},
        {"a list the user may not read",
         true,
         {locked},
         "",
         true,
         "Can't read " + locked + ": Permission denied\n"},
        {"a zero byte in the list",
         true,
         {"-"},
         std::string("#SETUP=1.1.1;OFF;OFF;OFF\n#DG1/2/3=B\0IT;RW\n#DG1/2/4=BIT;RW\n", 58),
         false,
         "Line 2: zero byte\n"},
        {"settings that are not there",
         false,
         {"--settings", dir.File("gone.ini"), "-"},
         Joined(Lines),
         false,
         "Can't read " + dir.File("gone.ini") + ": No such file or directory\n"},
        {"a folder as the settings",
         false,
         {"--settings", dir.File("folder"), "-"},
         Joined(Lines),
         false,
         "Can't read " + dir.File("folder") + ": Is a directory\n"},
        {"settings the user may not read",
         false,
         {"--settings", lockedIni, "-"},
         Joined(Lines),
         true,
         "Can't read " + lockedIni + ": Permission denied\n"},
    };
    for (const auto& c : cases) {
        if (c.unprivileged && !nobody) {
            std::cout << "[ row skipped ] " << c.name << ": " << why << '\n';
            continue;
        }
        Peer peer(Peer::Transport::Pty, AlwaysOk);
        std::vector<std::string> args =
            Download(c.throughPeer ? Plus(peer.LinkArgs(), c.options) : c.options, false);
        ProcessResult r = RunProcess(c.unprivileged ? AsNobody(args) : args, c.input);
        EXPECT_EQ(r.ExitCode, 2) << c.name;
        EXPECT_EQ(r.Err, c.err) << c.name << ": no step of the download may have begun";
        EXPECT_EQ(r.Out, "") << c.name;
        EXPECT_TRUE(peer.Commands().empty()) << c.name;
    }
}

// SIGINT and SIGTERM end a download at once, also in the middle of a wait (an answer held back, a silent
// gateway, a connect that hangs): the link is closed (so its exclusive use ends), the state the gateway is
// left in is said, and the exit code is 128 + the signal. The held answer comes only after zeloctl has ended.
TEST(SignalFaults, TerminationEndsAnyWaitAtOnceAndFreesThePort) {
    const struct {
        const char* name;
        Peer::Transport transport;
        int signal;
        std::size_t heldCommand; // the signal comes while the answer to this command (0: "#CG") is held back
        std::string message;
        bool silent = false;  // the gateway never answers that command
        int secondSignal = 0; // 50 ms after the first: the first decides the exit code
    } cases[] = {
        {"SIGINT at line 3", Peer::Transport::Pty, SIGINT, 4,
         "Download interrupted after line 2: the gateway holds a partial configuration.\n"},
        {"SIGTERM at line 3", Peer::Transport::Pty, SIGTERM, 4,
         "Download interrupted after line 2: the gateway holds a partial configuration.\n"},
        {"SIGTERM during the erase", Peer::Transport::Pty, SIGTERM, 0,
         "Download interrupted during the erase: the gateway's configuration may be erased in part.\n"},
        {"SIGINT, a silent gateway during the erase", Peer::Transport::Pty, SIGINT, 1,
         "Download interrupted during the erase: the gateway's configuration may be erased in part.\n", true},
        {"SIGINT at line 2 over TCP", Peer::Transport::Tcp, SIGINT, 3,
         "Download interrupted after line 1: the gateway holds a partial configuration.\n"},
        {"SIGINT, then SIGTERM", Peer::Transport::Pty, SIGINT, 4,
         "Download interrupted after line 2: the gateway holds a partial configuration.\n", false, SIGTERM},
    };
    for (const auto& c : cases) {
        TempDir dir;
        Gate gate;
        Peer peer(c.transport, [&](std::size_t index, const std::string&) {
            if (index == c.heldCommand) {
                gate.Wait();
                if (c.silent)
                    return Reply{Reply::Action::Silent};
            }
            return Reply{};
        });
        SpawnedProgram zeloctl(Download(Plus(peer.LinkArgs(), {dir.Write("list.txt", Joined(Lines))})));
        ASSERT_TRUE(peer.WaitForCommands(c.heldCommand + 1)) << c.name;
        zeloctl.Signal(c.signal);
        if (c.secondSignal != 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            zeloctl.Signal(c.secondSignal);
        }
        EXPECT_EQ(zeloctl.Wait(std::chrono::seconds(20)), 128 + c.signal) << c.name;
        gate.Open();
        EXPECT_EQ(zeloctl.Stderr(), c.message) << c.name;
        std::vector<std::string> sent = Conversation(Lines.size());
        sent.resize(c.heldCommand + 1);
        EXPECT_EQ(peer.Commands(), sent) << c.name << ": nothing after the answer awaited";
        if (c.transport == Peer::Transport::Pty) {
            // Exclusive use lifted and the lock released: the next program, of any user, may open the port.
            int exclusive = -1;
            ASSERT_EQ(::ioctl(peer.SlaveFd(), TIOCGEXCL, &exclusive), 0);
            EXPECT_EQ(exclusive, 0) << c.name;
            const int next = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            ASSERT_GE(next, 0);
            EXPECT_EQ(::flock(next, LOCK_EX | LOCK_NB), 0) << c.name;
            ::close(next);
        } else {
            EXPECT_TRUE(peer.WaitForClientToLeave()) << c.name;
        }
    }
}

// A second program on a port in use is refused with the system's reason, whoever it runs as: the lock stops
// root (who passes exclusive use) and a second copy alike, so two downloads never interleave.
TEST(PortFaults, ASecondOpenerIsRefusedAndTheFirstDownloadStaysWhole) {
    std::string why;
    const auto nobody = Unprivileged(why);
    const struct {
        const char* name;
        bool unprivileged;
    } cases[] = {{"as root", false}, {"as another user", true}};
    for (const auto& c : cases) {
        if (c.unprivileged && !nobody) {
            std::cout << "[ row skipped ] " << c.name << ": " << why << '\n';
            continue;
        }
        SharedDir dir;
        const std::string list = dir.Write("list.txt", Joined(Lines));
        ::chmod(list.c_str(), 0644);
        Gate gate;
        Peer peer(Peer::Transport::Pty, [&](std::size_t index, const std::string&) {
            if (index == 1)
                gate.Wait();
            return Reply{};
        });
        if (nobody) {
            ASSERT_EQ(::fchown(peer.SlaveFd(), nobody->Uid, static_cast<gid_t>(-1)), 0);
        }
        SpawnedProgram first(Download(Plus(peer.LinkArgs(), {list})));
        ASSERT_TRUE(peer.WaitForCommands(2)) << c.name;
        const std::vector<std::string> second = Download(Plus(peer.LinkArgs(), {list}));
        ProcessResult r = RunProcess(c.unprivileged ? AsNobody(second) : second);
        EXPECT_EQ(r.ExitCode, 1) << c.name;
        EXPECT_EQ(r.Err, "Can't open " + peer.SlavePath() +
                             "!\nDevice or resource busy: another program is using " + peer.SlavePath() +
                             "\n")
            << c.name;
        EXPECT_EQ(peer.Commands().size(), 2u) << c.name << ": the second program sent nothing";
        gate.Open();
        EXPECT_EQ(first.Wait(std::chrono::seconds(20)), 0) << c.name << ": " << first.Stderr();
        EXPECT_EQ(peer.Commands(), Conversation(Lines.size())) << c.name;
        if (c.unprivileged) {
            // Once the first has ended, the same user gets the port.
            ProcessResult after = RunProcess(AsNobody(second));
            EXPECT_EQ(after.ExitCode, 0) << c.name << ": " << after.Err;
        }
    }
}

// An answer that came after its time is still queued on the port when the next download opens it; taken for
// an answer of the new conversation it would shift every answer by one, and a refusal would pass unseen.
TEST(PortFaults, AnAnswerLeftFromAnEarlierExchangeIsDiscarded_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(60);
    TempDir dir;
    Peer peer(Peer::Transport::Pty, [](std::size_t index, const std::string&) {
        if (index == 2)
            return Reply{Reply::Action::Answer, "Ok\r",
                         std::chrono::milliseconds(1500)}; // after the line's 1 s
        if (index == 6)
            return Reply{Reply::Action::Answer, "ERR full\r"};
        return Reply{};
    });
    ProcessResult first = RunProcess(Download(Plus(peer.LinkArgs(), {"-"})), Joined({Lines[0]}));
    EXPECT_EQ(first.ExitCode, 1);
    EXPECT_EQ(first.Err, "Error \"No answer received\" occured while configuring device!\nPlease check line "
                         "1 of configuration "
                         "list!\n");
    ASSERT_TRUE(peer.WaitForReplies(3)); // the late answer now waits on the port
    ProcessResult second = RunProcess(Download(Plus(peer.LinkArgs(), {"-"})), Joined({Lines[0], Lines[1]}));
    EXPECT_EQ(second.ExitCode, 1);
    EXPECT_EQ(
        second.Err,
        "Error \"ERR full\" occured while configuring device!\nPlease check line 2 of configuration list!\n");
}

// A link that goes away is recognised at once, not after the answer's time limit, and said so; the message
// still names the line.
TEST(LinkFaults, ALostLinkIsNamedAtOnce) {
    const std::string lineMessage = "Error \"Connection to the gateway lost: %s\" occured while configuring "
                                    "device!\nPlease check line 2 of configuration list!\n";
    const std::string eraseMessage = "Error \"Connection to the gateway lost: %s\" occured while erasing old "
                                     "configuration!\n";
    // Cut off in the middle of its answer, line 1 is no line loaded, and what came of the answer is no
    // answer.
    const std::string firstLineMessage = "Error \"Connection to the gateway lost: %s\" occured while "
                                         "configuring device!\nPlease check line 1 of configuration list!\n";
    const struct {
        const char* name;
        Peer::Transport transport;
        Reply::Action action;
        std::size_t atCommand;
        std::string message;
        std::string reason;
        long long within; // well below the time limit of the answer awaited
        std::string beforeHangUp{};
    } cases[] = {
        {"terminal hung up during the erase", Peer::Transport::Pty, Reply::Action::Close, 1, eraseMessage,
         "Input/output error", 5000},
        {"terminal hung up at line 2", Peer::Transport::Pty, Reply::Action::Close, 3, lineMessage,
         "Input/output error", 1000},
        {"connection closed at line 2", Peer::Transport::Tcp, Reply::Action::Close, 3, lineMessage,
         "Connection closed by peer", 2500},
        {"connection reset at line 2", Peer::Transport::Tcp, Reply::Action::Reset, 3, lineMessage,
         "Connection reset by peer", 2500},
        {"\"Ok\" without its CR, then closed", Peer::Transport::Tcp, Reply::Action::Close, 2,
         firstLineMessage, "Connection closed by peer", 2500, "Ok"},
        {"\"Okx\", then closed", Peer::Transport::Tcp, Reply::Action::Close, 2, firstLineMessage,
         "Connection closed by peer", 2500, "Okx"},
        {"\"Ok\" without its CR, then hung up", Peer::Transport::Pty, Reply::Action::Close, 2,
         firstLineMessage, "Input/output error", 1000, "Ok"},
    };
    for (const auto& c : cases) {
        Peer peer(c.transport, [&](std::size_t index, const std::string&) {
            return index == c.atCommand ? Reply{c.action, "Ok\r", {}, c.beforeHangUp} : Reply{};
        });
        const auto start = Clock::now();
        ProcessResult r = RunProcess(Download(Plus(peer.LinkArgs(), {"-"})), Joined(Lines));
        const long long took = MsSince(start);
        EXPECT_EQ(r.ExitCode, 1) << c.name;
        EXPECT_EQ(r.Err, FormatMessage(c.message, c.reason)) << c.name;
        EXPECT_LT(took, c.within) << c.name;
        EXPECT_EQ(peer.Commands().size(), c.atCommand + 1) << c.name;
    }
}

// What a gateway answers is printed with its control characters escaped: a refusal cannot retitle, clear or
// reprogram the user's terminal.
TEST(LinkFaults, AnswersWithControlCharactersArePrintedEscaped) {
    const struct {
        std::string answer; // 8-bit, as the gateway sends it
        std::string shown;
    } cases[] = {
        {"ERR \x1b]0;owned\x07", "ERR \\x1b]0;owned\\x07"},
        {"ERR \x1b[2J\x1b[H", "ERR \\x1b[2J\\x1b[H"},
        {"ERR\x7f\x08\x08", "ERR\\x7f\\x08\\x08"},
        {"ERR \x9b"
         "31m",
         "ERR \\u009b31m"},                 // a C1 control in Latin-1
        {"Fehler \xe4", "Fehler \xc3\xa4"}, // a letter stays a letter
        // Line feeds and tabs too: an answer cannot forge a line of its own.
        {"ERR\nConfiguration loaded successfully!", "ERR\\x0aConfiguration loaded successfully!"},
        {"ERR\tx", "ERR\\x09x"},
    };
    for (const auto& c : cases) {
        Peer peer(Peer::Transport::Pty, [&](std::size_t index, const std::string&) {
            return index == 2 ? Reply{Reply::Action::Answer, c.answer + "\r"} : Reply{};
        });
        ProcessResult r = RunProcess(Download(Plus(peer.LinkArgs(), {"-"})), Joined(Lines));
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_EQ(r.Err,
                  "Error \"" + c.shown +
                      "\" occured while configuring device!\nPlease check line 1 of configuration list!\n");
        for (char ch : r.Err)
            EXPECT_TRUE(static_cast<unsigned char>(ch) >= 0x20 || ch == '\n') << c.shown;
    }
}

namespace {

// A listener whose queue of connections waiting to be accepted is full: a further connect is never answered.
struct FullListener {
    int listener = -1;
    int port = 0;
    std::vector<int> waiting;
    FullListener() {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener, 0);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        // Connect until one is not completed within a second: the queue is full from then on.
        for (int i = 0; i < 16; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
            waiting.push_back(fd);
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) == 0)
                break;
        }
    }
    ~FullListener() {
        for (int fd : waiting)
            ::close(fd);
        ::close(listener);
    }
};

} // namespace

// Sockets of this machine whose connect to the loopback port waits for an answer (SYN_SENT).
int ConnectsWaitingOn(int port) {
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, ":%04X 02 ", port);
    std::ifstream table("/proc/net/tcp");
    int count = 0;
    for (std::string line; std::getline(table, line);)
        count += line.find(wanted) != std::string::npos;
    return count;
}

// A connect that hangs (a listener whose backlog is full) is ended by the signal, not sat out for 5 s.
TEST(SignalFaults, TerminationEndsAConnectThatHangs) {
    FullListener full;
    SpawnedProgram zeloctl(
        Download({"--device", "TCP/IP", "--host", "127.0.0.1", "--port", std::to_string(full.port), "-"}));
    // The signal comes once zeloctl's connect waits (one more socket in SYN_SENT to the port).
    const int before = ConnectsWaitingOn(full.port);
    const auto start = Clock::now();
    while (ConnectsWaitingOn(full.port) <= before && MsSince(start) < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GT(ConnectsWaitingOn(full.port), before) << "zeloctl's connect never started";
    zeloctl.Signal(SIGTERM);
    EXPECT_EQ(zeloctl.Wait(std::chrono::seconds(20)), 128 + SIGTERM);
    EXPECT_EQ(zeloctl.Stderr(),
              "Download interrupted before the erase: the gateway's configuration is unchanged.\n");
}

// A host that does not answer a connect holds the link at most 5 s, with the wait hook called meanwhile, so
// the window stays alive; the reason is the system's "Connection timed out".
TEST(LinkFaults, ConnectToAHostThatDoesNotAnswerEndsAfterFiveSeconds_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(20);
    FullListener full;
    TSerialPort link;
    link.SetDevice("TCP/IP");
    link.SetHost("127.0.0.1");
    link.SetPort(std::to_string(full.port));
    int hookCalls = 0;
    link.WaitHook = [&] { ++hookCalls; };
    const auto start = Clock::now();
    std::string message;
    try {
        link.Open();
    } catch (const Exception& e) {
        message = e.Message();
    }
    const long long took = MsSince(start);
    EXPECT_EQ(message, "Error while opening socket to 127.0.0.1!");
    EXPECT_EQ(link.LastOsError(), "Connection timed out");
    EXPECT_GE(took, 5000);
    EXPECT_LT(took, 7000);
    EXPECT_GE(hookCalls, 5000 / 10 / 2) << "the hook must run all the time the connect waits";
    EXPECT_FALSE(link.IsOpen());
    link.Close();
}

// The hint for a refused open names the group that owns the device, and only where joining it would help.
TEST(PortFaults, PermissionDeniedNamesTheDevicesGroupWhereJoiningItHelps) {
    std::string why;
    const auto nobody = Unprivileged(why);
    if (!nobody)
        GTEST_SKIP() << why;
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr)
        GTEST_SKIP() << "there is no group \"dialout\" to own a device";
    SharedDir dir;
    Peer peer(Peer::Transport::Pty, AlwaysOk);
    const struct {
        const char* name;
        gid_t group;
        mode_t mode;
        std::string hint;
    } cases[] = {
        {"group may read and write", dialout->gr_gid, 0660,
         " (add the user to the dialout group, then log in again)"},
        {"group may not", dialout->gr_gid, 0600, ""},
        {"root's group", 0, 0660, ""},
        {"a pseudo-terminal", 0, 0, ""},
    };
    for (const auto& c : cases) {
        std::string device = peer.SlavePath(); // root's, group tty, writable by the group only
        if (c.mode != 0) {
            device =
                dir.Write(std::string("tty-") + std::to_string(c.mode) + "-" + std::to_string(c.group), "");
            ASSERT_EQ(::chown(device.c_str(), 0, c.group), 0);
            ASSERT_EQ(::chmod(device.c_str(), c.mode), 0);
        }
        ProcessResult r = RunProcess(AsNobody(Download({"--device", device, "-"})), Joined(Lines));
        EXPECT_EQ(r.ExitCode, 1) << c.name;
        EXPECT_EQ(r.Err, "Can't open " + device + "!\nPermission denied" + c.hint + "\n") << c.name;
    }
    EXPECT_TRUE(peer.Commands().empty());
}
