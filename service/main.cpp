// Runs OpenVPN as root for a desktop client that has no root rights, with the
// configuration the client wrote into its own folder. The client names that
// folder, the program and the log folder in the system-wide settings file.
//
// The configuration comes from a folder an ordinary user can write: it is read
// once, checked against the options a client profile needs, and OpenVPN gets a
// copy of it, and of the files it names, in a folder only root can enter. The one
// script OpenVPN may run is noxel-dns, installed beside this program, which applies
// the DNS servers the VPN server pushes.
//
// systemd starts the unit with a clean environment; the variables read here
// (NOXEL_SYSTEM_CONFIG_DIR, NOXEL_OPENVPN_RUN_DIR) are for tests, which run the
// program as root themselves.
#include "filechecks.h"
#include "profilefilter.h"
#include "servicesettings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr std::size_t MaxSettingsSize = 64 * 1024;
constexpr std::size_t MaxProfileSize = 1024 * 1024;
const std::string LogName = "openvpn.log";
const std::string CopyName = "config.ovpn";

// Where the service's own messages go: the journal (standard error) and, once it
// is open, OpenVPN's log in the user's folder, which the user reads.
class Messages
{
public:
    void setLog(int fd) { m_log = fd; }
    void setJournal(int fd) { m_journal = fd; }

    void say(const std::string &message) const
    {
        const std::string line = "noxel-openvpn-service: " + message + '\n';
        for (int fd : { m_journal, m_log }) {
            if (fd < 0)
                continue;
            // Nowhere left to tell of a failed write.
            const ssize_t written = ::write(fd, line.data(), line.size());
            static_cast<void>(written);
        }
    }

    int fail(const std::string &message) const
    {
        say(message);
        return EXIT_FAILURE;
    }

private:
    int m_journal = STDERR_FILENO;
    int m_log = -1;
};

std::string environment(const char *name, const char *fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? value : fallback;
}

bool isExtension(const std::string &text)
{
    if (text.empty() || text.size() > 16)
        return false;
    for (char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// The program named in the settings, if it is an openvpn only root can change.
bool findProgram(const std::string &path, std::string &program, std::string &error)
{
    const std::size_t slash = path.rfind('/');
    if (path.empty() || path.front() != '/' || path.substr(slash + 1) != "openvpn") {
        error = "'" + path + "' is no absolute path to a program named openvpn";
        return false;
    }
    if (!FileChecks::isTrusted(path, program, error))
        return false;
    struct stat status;
    if (::stat(program.c_str(), &status) != 0 || !S_ISREG(status.st_mode) || !(status.st_mode & S_IXUSR)) {
        error = program + " is no program";
        return false;
    }
    return true;
}

// noxel-dns beside this program, if only root can change it; OpenVPN splits a
// script's path at white space.
bool findDnsScript(std::string &script, std::string &error)
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        error = std::string("cannot find this program: ") + std::strerror(errno);
        return false;
    }
    std::string path(self, std::size_t(length));
    path = path.substr(0, path.rfind('/') + 1) + "noxel-dns";
    if (!FileChecks::isTrusted(path, script, error))
        return false;
    if (script.find_first_of(" \t\n\"'\\") != std::string::npos) {
        error = script + " has white space or quotes in its path";
        return false;
    }
    return true;
}

// Puts back a resolver configuration that a tunnel killed before its down script
// left changed; quick, and waited for so that it is done before OpenVPN starts.
void restoreDns(const std::string &script)
{
    const pid_t child = ::fork();
    if (child == 0) {
        const char *const arguments[] = { script.c_str(), "restore", nullptr };
        ::execv(script.c_str(), const_cast<char *const *>(arguments));
        ::_exit(127);
    }
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

int main()
{
    ::umask(077);
    Messages messages;
    std::string error;

    const std::string settingsPath
        = environment("NOXEL_SYSTEM_CONFIG_DIR", "/etc/xdg") + "/Noxel/Noxel OpenVPN.ini";
    std::string text;
    if (!FileChecks::readTrustedFile(settingsPath, MaxSettingsSize, text, error)) {
        return messages.fail(
            "cannot use the settings (" + error + "); start the Noxel client once as root to write them");
    }
    ServiceSettings settings;
    if (!settings.parse(text))
        return messages.fail(settingsPath + ": " + settings.error());

    const std::string configDir = settings.value("config_dir");
    struct stat configStatus;
    const int configFolder = FileChecks::openUserFolder(configDir, configStatus, error);
    if (configFolder < 0)
        return messages.fail("cannot use the configuration folder: " + error);

    // OpenVPN's log goes where the user reads it, as a file of the user's own and
    // opened here, never by a name root would follow; failing that, to the journal.
    const std::string logDir = settings.value("log_dir");
    struct stat logStatus;
    const int logFolder = FileChecks::openUserFolder(logDir, logStatus, error);
    int log = -1;
    if (logFolder >= 0 && logStatus.st_uid != configStatus.st_uid)
        error = logDir + " does not belong to the owner of " + configDir;
    else if (logFolder >= 0)
        log = FileChecks::openUserLog(
            logFolder, LogName, logStatus, settings.value("log_append") == "1", error);
    if (logFolder >= 0)
        ::close(logFolder);
    if (log < 0)
        messages.say("OpenVPN logs to the journal, not to " + logDir + '/' + LogName + ": " + error);
    messages.setLog(log);

    std::string program;
    if (!findProgram(settings.value("exe_path"), program, error))
        return messages.fail("refusing to run OpenVPN: " + error);

    std::string extension = settings.value("config_ext");
    if (extension.empty())
        extension = "ovpn";
    if (!isExtension(extension))
        return messages.fail("'" + extension + "' is no extension of a configuration file");
    const std::string configName = "config." + extension;
    const std::string configPath = configDir + '/' + configName;

    std::string copyDir;
    const int copyFolder = FileChecks::openPrivateFolder(
        environment("NOXEL_OPENVPN_RUN_DIR", "/run/noxel-openvpn"), copyDir, error);
    if (copyFolder < 0)
        return messages.fail("cannot prepare the folder for OpenVPN's copy: " + error);

    // Read once: what is checked is what OpenVPN gets, whatever the user's file becomes meanwhile.
    if (!FileChecks::readUserFile(configFolder, configName, configStatus.st_uid, MaxProfileSize, text, error))
        return messages.fail("cannot use the configuration " + configPath + ": " + error);
    ProfileFilter filter(configDir, copyDir);
    if (!filter.filter(text))
        return messages.fail(configPath + ", " + filter.error() + "; OpenVPN is not started");
    for (const ProfileFilter::File &file : filter.files()) {
        std::string content;
        if (!FileChecks::readUserFile(
                configFolder, file.name, configStatus.st_uid, MaxProfileSize, content, error)
            || !FileChecks::writePrivateFile(copyFolder, file.copy, content, error)) {
            return messages.fail(configPath + ", line " + std::to_string(file.line) + ": option '"
                + file.option + "': " + error + "; OpenVPN is not started");
        }
    }
    if (!FileChecks::writePrivateFile(copyFolder, CopyName, filter.output(), error))
        return messages.fail("cannot write the copy of the configuration: " + error);
    ::close(copyFolder);
    ::close(configFolder);

    const std::string copy = copyDir + '/' + CopyName;
    messages.say("starting " + program + " with " + copy + ", the checked copy of " + configPath);
    // Later options win: no script but ours, and OpenVPN takes no fixed local port
    // (a port below 1024 is root's to give).
    std::vector<const char *> arguments { program.c_str(), "--cd", copyDir.c_str(), "--config",
        copy.c_str(), "--nobind" };
    std::string dnsScript;
    if (findDnsScript(dnsScript, error)) {
        restoreDns(dnsScript);
        arguments.insert(arguments.end(),
            { "--script-security", "2", "--up", dnsScript.c_str(), "--down", dnsScript.c_str() });
    } else {
        messages.say("the DNS servers of the VPN are not applied: " + error);
        arguments.insert(arguments.end(), { "--script-security", "1" });
    }
    arguments.push_back(nullptr);
    if (log >= 0) {
        const int journal = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        messages.setJournal(journal);
        if (::dup2(log, STDOUT_FILENO) < 0 || ::dup2(log, STDERR_FILENO) < 0)
            return messages.fail("cannot hand the log to OpenVPN");
    }
    ::execv(program.c_str(), const_cast<char *const *>(arguments.data()));
    return messages.fail("cannot start " + program + ": " + std::strerror(errno));
}
