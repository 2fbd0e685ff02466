#include "platform/FileOwnership.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {
namespace {

std::string UserName(uid_t uid) {
  std::vector<char> buf(16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  std::string id = "uid " + std::to_string(uid);
  if (getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr)
    return std::string("user ") + found->pw_name + " (" + id + ")";
  return "user " + std::to_string(uid) + " (" + id + ", no such user on this machine)";
}

std::string GroupName(gid_t gid) {
  std::vector<char> buf(16384);
  struct group gr {};
  struct group* found = nullptr;
  std::string id = "gid " + std::to_string(gid);
  if (getgrgid_r(gid, &gr, buf.data(), buf.size(), &found) == 0 && found != nullptr)
    return std::string("group ") + found->gr_name + " (" + id + ")";
  return "group " + std::to_string(gid) + " (" + id + ", no such group on this machine)";
}

// chown clears the set-user-id and set-group-id bits: the bits go on after it.
bool SetMode(int fd, const struct stat& like) {
  return fchmod(fd, like.st_mode & 07777) == 0;
}

}  // namespace

std::string CopyOwnerAndMode(int fd, const struct stat& like) {
  struct stat now {};
  if (fstat(fd, &now) != 0) return std::string("cannot check the new file: ") + std::strerror(errno);
  if (now.st_uid != like.st_uid || now.st_gid != like.st_gid) {
    if (fchown(fd, like.st_uid, like.st_gid) != 0) {
      int err = errno;
      const bool ownerDiffers = now.st_uid != like.st_uid;
      std::string what = ownerDiffers ? "owner" : "group";
      return "it belongs to " + UserName(like.st_uid) + " and " + GroupName(like.st_gid) + ", and this process (" +
             UserName(geteuid()) + ") cannot give a new file that " + what + " (" + std::strerror(err) +
             "); run the station as that user, or give the file to the station's user";
    }
  }
  if (!SetMode(fd, like))
    return std::string("cannot give the new file the permissions of the old one: ") + std::strerror(errno);
  return {};
}

void CopyOwnerAndModeWherePossible(int fd, const struct stat& like) {
  if (fchown(fd, like.st_uid, like.st_gid) != 0) (void)!fchown(fd, static_cast<uid_t>(-1), like.st_gid);
  SetMode(fd, like);
}

}  // namespace platform
