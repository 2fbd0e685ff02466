#include "spreadsheet/driver/FileLock.h"

#include "platform/TextCodec.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

struct Holding {
    int fd = -1;
    int count = 0;
    pid_t owner = 0;  // a forked child must not count on its parent's holding
};

std::mutex& TableMutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, Holding>& Table() {
    static std::map<std::string, Holding> table;
    return table;
}

std::string ErrnoText(int err) {
    return std::strerror(err);
}

// Canonical form of a path whose file may not exist yet: the folder resolved
// (symbolic links, "..") and the file name appended. A symbolic link as the
// file itself is resolved too, so both names of one workbook share one lock.
std::string CanonicalKey(const std::string& utf8Path) {
    char resolved[PATH_MAX];
    struct stat st;
    if (!utf8Path.empty() && utf8Path.back() != '/' && realpath(utf8Path.c_str(), resolved) != nullptr &&
        stat(resolved, &st) == 0 && !S_ISDIR(st.st_mode))
        return resolved;
    std::string dir = ".";
    std::string name = utf8Path;
    auto slash = utf8Path.find_last_of('/');
    if (slash != std::string::npos) {
        dir = slash == 0 ? "/" : utf8Path.substr(0, slash);
        name = utf8Path.substr(slash + 1);
    }
    if (name.empty() || name == "." || name == "..")
        throw FileLockError(Utf8ToGbk("Cannot lock \"" + utf8Path + "\": not a file name"));
    if (realpath(dir.c_str(), resolved) == nullptr) {
        int err = errno;
        throw FileLockError(Utf8ToGbk("Cannot lock \"" + utf8Path + "\": folder \"" + dir + "\": " + ErrnoText(err)));
    }
    std::string key = resolved;
    if (key != "/")
        key += '/';
    return key + name;
}

}  // namespace

FileLock::FileLock(const std::string& path, std::chrono::milliseconds wait) {
    std::string utf8 = GbkToUtf8(path);
    std::string key = CanonicalKey(utf8);
    {
        std::lock_guard<std::mutex> guard(TableMutex());
        auto it = Table().find(key);
        if (it != Table().end()) {
            if (it->second.owner == getpid()) {
                ++it->second.count;
                m_strKey = key;
                return;
            }
            // Inherited through fork(): the descriptor shares the parent's lock,
            // so it proves nothing here; drop it without unlocking.
            close(it->second.fd);
            Table().erase(it);
        }
    }

    std::string lockPath = key + ".lock";
    int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        int err = errno;
        throw FileLockError(Utf8ToGbk("Cannot create the lock file \"" + lockPath + "\": " + ErrnoText(err)));
    }

    // Polling keeps the wait bounded without signals or a helper thread.
    auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(2);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        int err = errno;
        if (err != EWOULDBLOCK && err != EINTR) {
            close(fd);
            throw FileLockError(Utf8ToGbk("Cannot lock \"" + utf8 + "\": " + ErrnoText(err)));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            close(fd);
            auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait).count();
            throw FileLockError(Utf8ToGbk("The file \"" + utf8 + "\" is in use by another process (waited " +
                                          std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 / 100) +
                                          " s for it to be released)"));
        }
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(50))
            pause *= 2;
    }

    std::lock_guard<std::mutex> guard(TableMutex());
    auto& holding = Table()[key];
    if (holding.count > 0 && holding.owner == getpid()) {
        // Another thread of this process took it meanwhile (cannot happen with
        // flock on separate descriptors, but keep the count honest).
        close(fd);
        ++holding.count;
    } else {
        holding = Holding{fd, 1, getpid()};
    }
    m_strKey = key;
}

FileLock::~FileLock() {
    Release();
}

FileLock::FileLock(FileLock&& other) noexcept : m_strKey(std::move(other.m_strKey)) {
    other.m_strKey.clear();
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_strKey = std::move(other.m_strKey);
        other.m_strKey.clear();
    }
    return *this;
}

void FileLock::Release() noexcept {
    if (m_strKey.empty())
        return;
    std::lock_guard<std::mutex> guard(TableMutex());
    auto it = Table().find(m_strKey);
    m_strKey.clear();
    if (it == Table().end() || it->second.owner != getpid())
        return;  // the holding belonged to the parent of a fork
    if (--it->second.count == 0) {
        flock(it->second.fd, LOCK_UN);
        close(it->second.fd);
        Table().erase(it);
    }
}

int FileLock::HoldCount(const std::string& path) {
    std::string key;
    try {
        key = CanonicalKey(GbkToUtf8(path));
    } catch (const FileLockError&) {
        return 0;
    }
    std::lock_guard<std::mutex> guard(TableMutex());
    auto it = Table().find(key);
    if (it == Table().end() || it->second.owner != getpid())
        return 0;
    return it->second.count;
}

}  // namespace platform
