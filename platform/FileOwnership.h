// Keeping a shared file's owner, group and permission bits when it is
// replaced by a new file (written beside it and renamed over it), so that
// the stations of the file's group can still write it afterwards.
#pragma once

#include <string>
#include <sys/stat.h>

namespace platform {

// Gives the open file `fd` the owner, group and permission bits of `like`.
// Returns an empty text on success; otherwise the file keeps what it had and
// the text (UTF-8) says which of owner or group this process may not give
// away, naming the user or group and the process's own user, e.g.
// "it belongs to user ops (uid 1001) and group line (gid 1002), and this
// process (user station, uid 1003) cannot give a new file that owner".
std::string CopyOwnerAndMode(int fd, const struct stat& like);

// As CopyOwnerAndMode, as far as this process may: the owner when allowed,
// else the group when allowed, and the permission bits. For files such as a
// lock sidecar whose owner matters less than that the group can open it.
void CopyOwnerAndModeWherePossible(int fd, const struct stat& like);

}  // namespace platform
