#pragma once

#include <string>

#include <sys/stat.h>
#include <sys/types.h>

// The file handling of a program that runs as root on behalf of an ordinary user:
// what comes from the user is opened without following symbolic links, must
// belong to the user, is bounded in size and read once; what root keeps for itself
// lives where only root can change it. Each returns false, or -1 for a descriptor,
// with the reason in `error`.
namespace FileChecks {

// The file at `path` and every folder above it belong to root and only root can
// change them (a sticky folder such as /tmp counts: nobody else may replace what
// root keeps in it). `resolved` is the path without symbolic links, which from
// then on nobody but root can redirect.
bool isTrusted(const std::string &path, std::string &resolved, std::string &error);

// Reads a whole file that only root can change, at most `limit` bytes.
bool readTrustedFile(const std::string &path, std::size_t limit, std::string &content, std::string &error);

// Opens the user's folder at `path` (not a symbolic link, writable by its owner
// only); `status` tells who owns it.
int openUserFolder(const std::string &path, struct stat &status, std::string &error);

// Reads the regular file `name` in the user's folder, which must belong to
// `owner`: no symbolic link, no device or pipe, no file of someone else's linked in.
bool readUserFile(int folder, const std::string &name, uid_t owner, std::size_t limit, std::string &content,
    std::string &error);

// Opens `name` in the user's folder for OpenVPN's log, as a regular file of the
// user's own; whatever else stands there (a link, someone else's file) is
// replaced. Emptied unless `append`.
int openUserLog(
    int folder, const std::string &name, const struct stat &folderStatus, bool append, std::string &error);

// Makes `path` an empty folder only root may enter, and opens it; `resolved` is
// its path without symbolic links.
int openPrivateFolder(const std::string &path, std::string &resolved, std::string &error);

// Writes a new file in the private folder that only root may read.
bool writePrivateFile(int folder, const std::string &name, const std::string &content, std::string &error);

} // namespace FileChecks
