#pragma once
// Cases that root would pass by its privileges (exclusive use of a terminal, file modes, folder permissions)
// run as the user "nobody" through runuser, when this machine has both and the tests run as root.
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zelo::test {

struct Nobody {
    uid_t Uid;
    gid_t Gid;
};

// nobody's ids; nullopt with the reason in why when the cases cannot run unprivileged here.
std::optional<Nobody> Unprivileged(std::string& why);

// The command line that runs args as nobody.
std::vector<std::string> AsNobody(const std::vector<std::string>& args);

} // namespace zelo::test
