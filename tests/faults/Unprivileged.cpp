#include "Unprivileged.h"

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace zelo::test {

namespace {

constexpr const char* Runuser = "/usr/sbin/runuser";

} // namespace

std::optional<Nobody> Unprivileged(std::string& why) {
    if (::geteuid() != 0) {
        why = "the tests do not run as root, so they cannot hand files and terminals to another user";
        return std::nullopt;
    }
    if (!std::filesystem::exists(Runuser)) {
        why = std::string(Runuser) + " is not installed (util-linux)";
        return std::nullopt;
    }
    const passwd* user = ::getpwnam("nobody");
    if (user == nullptr) {
        why = "there is no user \"nobody\"";
        return std::nullopt;
    }
    return Nobody{user->pw_uid, user->pw_gid};
}

std::vector<std::string> AsNobody(const std::vector<std::string>& args) {
    std::vector<std::string> all{Runuser, "-u", "nobody", "--"};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

} // namespace zelo::test
