#include "filechecks.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace FileChecks {

namespace {

std::string reason(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

bool writableByOthers(const struct stat &status)
{
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Reads up to `limit` bytes from a regular file whose size was checked already:
// a file that grows meanwhile is refused rather than cut.
bool readAll(int fd, const std::string &what, std::size_t limit, std::string &content, std::string &error)
{
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            error = reason(what);
            return false;
        }
        if (count == 0)
            return true;
        content.append(buffer, std::size_t(count));
        if (content.size() > limit) {
            error = what + " is larger than " + std::to_string(limit) + " bytes";
            return false;
        }
    }
}

bool writeAll(int fd, const std::string &content)
{
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t count = ::write(fd, content.data() + done, content.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += std::size_t(count);
    }
    return true;
}

} // namespace

bool isTrusted(const std::string &path, std::string &resolved, std::string &error)
{
    char buffer[PATH_MAX];
    if (path.empty() || path.front() != '/') {
        error = "'" + path + "' is no absolute path";
        return false;
    }
    if (!::realpath(path.c_str(), buffer)) {
        error = reason(path);
        return false;
    }
    resolved = buffer;
    // From the root down: once a folder is root's alone, nobody else can swap what is in it.
    for (std::size_t end = 0;; end = resolved.find('/', end + 1)) {
        const bool last = end == std::string::npos;
        const std::string part = last ? resolved : resolved.substr(0, std::max<std::size_t>(end, 1));
        struct stat status;
        if (::lstat(part.c_str(), &status) != 0) {
            error = reason(part);
            return false;
        }
        const bool sticky = S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) && !last;
        if (S_ISLNK(status.st_mode) || status.st_uid != 0 || (writableByOthers(status) && !sticky)) {
            error = part + " (on the way to " + path + ") can be changed by others than root";
            return false;
        }
        if (last)
            return true;
    }
}

bool readTrustedFile(const std::string &path, std::size_t limit, std::string &content, std::string &error)
{
    std::string resolved;
    if (!isTrusted(path, resolved, error))
        return false;
    const int fd = ::open(resolved.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = reason(path);
        return false;
    }
    struct stat status;
    bool ok = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (!ok)
        error = path + " is not a regular file";
    ok = ok && readAll(fd, path, limit, content, error);
    ::close(fd);
    return ok;
}

int openUserFolder(const std::string &path, struct stat &status, std::string &error)
{
    if (path.empty() || path.front() != '/') {
        error = "'" + path + "' is no absolute path";
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ELOOP || errno == ENOTDIR ? path + " is not a folder (a symbolic link?)"
                                                   : reason(path);
        return -1;
    }
    if (::fstat(fd, &status) != 0 || writableByOthers(status)) {
        error = path + " can be changed by others than its owner";
        ::close(fd);
        return -1;
    }
    return fd;
}

bool readUserFile(int folder, const std::string &name, uid_t owner, std::size_t limit, std::string &content,
    std::string &error)
{
    // Not blocking: a named pipe must not hold the service up before it is refused.
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errno == ELOOP ? name + " is a symbolic link" : reason(name);
        return false;
    }
    struct stat status;
    bool ok = false;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        error = name + " is not a regular file";
    else if (status.st_uid != owner)
        error = name + " does not belong to the owner of its folder";
    else if (std::size_t(status.st_size) > limit)
        error = name + " is larger than " + std::to_string(limit) + " bytes";
    else
        ok = readAll(fd, name, limit, content, error);
    ::close(fd);
    return ok;
}

int openUserLog(
    int folder, const std::string &name, const struct stat &folderStatus, bool append, std::string &error)
{
    int fd = ::openat(
        folder, name.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat status;
    const bool usable = fd >= 0 && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
        && status.st_uid == folderStatus.st_uid;
    if (!usable) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        if (::unlinkat(folder, name.c_str(), 0) != 0 && errno != ENOENT) {
            error = reason(name);
            return -1;
        }
        fd = ::openat(folder, name.c_str(),
            O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        if (fd < 0) {
            error = reason(name);
            return -1;
        }
        if (::fchown(fd, folderStatus.st_uid, folderStatus.st_gid) != 0) {
            error = reason(name);
            ::close(fd);
            return -1;
        }
    }
    if ((!append && ::ftruncate(fd, 0) != 0) || ::fcntl(fd, F_SETFL, O_APPEND) != 0) {
        error = reason(name);
        ::close(fd);
        return -1;
    }
    return fd;
}

int openPrivateFolder(const std::string &path, std::string &resolved, std::string &error)
{
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        error = "'" + path + "' names no folder";
        return -1;
    }
    std::string parent;
    if (!isTrusted(slash == 0 ? "/" : path.substr(0, slash), parent, error))
        return -1;
    resolved = (parent == "/" ? std::string() : parent) + '/' + name;
    const std::string &folder = resolved;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = reason(folder);
        return -1;
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status;
    if (fd < 0 || ::fstat(fd, &status) != 0 || status.st_uid != 0 || ::fchmod(fd, 0700) != 0) {
        error = folder + " is no folder of root's own";
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    // What an earlier start left goes: keys and passwords are not kept longer than needed.
    const int listing = ::dup(fd);
    DIR *entries = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!entries) {
        error = reason(folder);
        if (listing >= 0)
            ::close(listing);
        ::close(fd);
        return -1;
    }
    bool ok = true;
    while (const struct dirent *entry = ::readdir(entries)) {
        const std::string entryName = entry->d_name;
        if (entryName == "." || entryName == "..")
            continue;
        if (::unlinkat(fd, entry->d_name, 0) != 0) {
            error = reason(folder + '/' + entryName);
            ok = false;
            break;
        }
    }
    ::closedir(entries);
    if (!ok) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writePrivateFile(int folder, const std::string &name, const std::string &content, std::string &error)
{
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = reason(name);
        return false;
    }
    const bool written = writeAll(fd, content);
    if (::close(fd) != 0 || !written) {
        error = reason(name);
        return false;
    }
    return true;
}

} // namespace FileChecks
