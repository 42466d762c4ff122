#include "profilefilter.h"

#include <cctype>
#include <utility>

namespace {

// OpenVPN reads a line into 256 bytes, line feed and closing zero included; a
// longer line is cut and its rest read as a line of its own.
constexpr std::size_t MaxLineLength = 254;

enum class Kind {
    Plain, // no argument names a file
    File, // the first argument names a file, or the option comes as a block
    OptionalFile, // as File, and the option may stand alone too
    Device,
    DeviceType,
    Protocol,
    Remote,
    Management,
};

struct Rule
{
    const char *name;
    std::size_t minArguments;
    std::size_t maxArguments;
    Kind kind;
};

// What a client profile needs. Left out on purpose: whatever runs a program or
// loads code (plugin, up, down, the other scripts, script-security, setenv,
// iproute, engine, providers), reads or writes files of its own choosing (config,
// cd, log, status, writepid, askpass, pkcs12, dh, replay-persist, tls-export-cert,
// tmp-dir, dev-node, http-proxy and socks-proxy with their password files),
// changes how OpenVPN itself runs (daemon, chroot, user, group) and listens beyond
// this machine (lport, local, bind, the server options).
const Rule Rules[] = {
    { "allow-compression", 1, 1, Kind::Plain },
    { "auth", 1, 1, Kind::Plain },
    { "auth-nocache", 0, 0, Kind::Plain },
    { "auth-retry", 1, 1, Kind::Plain },
    { "auth-user-pass", 0, 1, Kind::OptionalFile },
    { "ca", 1, 1, Kind::File },
    { "cert", 1, 1, Kind::File },
    { "cipher", 1, 1, Kind::Plain },
    { "client", 0, 0, Kind::Plain },
    { "comp-lzo", 0, 1, Kind::Plain },
    { "compress", 0, 1, Kind::Plain },
    { "connect-retry", 1, 2, Kind::Plain },
    { "connect-retry-max", 1, 1, Kind::Plain },
    { "connect-timeout", 1, 1, Kind::Plain },
    { "crl-verify", 1, 1, Kind::File },
    { "data-ciphers", 1, 1, Kind::Plain },
    { "data-ciphers-fallback", 1, 1, Kind::Plain },
    { "dev", 1, 1, Kind::Device },
    { "dev-type", 1, 1, Kind::DeviceType },
    { "dhcp-option", 1, 2, Kind::Plain },
    { "explicit-exit-notify", 0, 1, Kind::Plain },
    { "extra-certs", 1, 1, Kind::File },
    { "float", 0, 0, Kind::Plain },
    { "fragment", 1, 2, Kind::Plain },
    { "hand-window", 1, 1, Kind::Plain },
    { "ignore-unknown-option", 1, 8, Kind::Plain },
    { "inactive", 1, 2, Kind::Plain },
    { "keepalive", 2, 2, Kind::Plain },
    { "key", 1, 1, Kind::File },
    { "key-direction", 1, 1, Kind::Plain },
    { "management", 2, 3, Kind::Management },
    { "management-hold", 0, 0, Kind::Plain },
    { "management-query-passwords", 0, 0, Kind::Plain },
    { "mssfix", 0, 2, Kind::Plain },
    { "mute", 1, 1, Kind::Plain },
    { "mute-replay-warnings", 0, 0, Kind::Plain },
    { "ncp-ciphers", 1, 1, Kind::Plain },
    { "nobind", 0, 0, Kind::Plain },
    { "ns-cert-type", 1, 1, Kind::Plain },
    { "persist-key", 0, 0, Kind::Plain },
    { "persist-tun", 0, 0, Kind::Plain },
    { "ping", 1, 1, Kind::Plain },
    { "ping-exit", 1, 1, Kind::Plain },
    { "ping-restart", 1, 1, Kind::Plain },
    { "port", 1, 1, Kind::Plain },
    { "proto", 1, 1, Kind::Protocol },
    { "pull", 0, 0, Kind::Plain },
    { "pull-filter", 2, 2, Kind::Plain },
    { "rcvbuf", 1, 1, Kind::Plain },
    { "redirect-gateway", 0, 6, Kind::Plain },
    { "remote", 1, 3, Kind::Remote },
    { "remote-cert-eku", 1, 1, Kind::Plain },
    { "remote-cert-ku", 1, 6, Kind::Plain },
    { "remote-cert-tls", 1, 1, Kind::Plain },
    { "remote-random", 0, 0, Kind::Plain },
    { "reneg-sec", 1, 2, Kind::Plain },
    { "resolv-retry", 1, 1, Kind::Plain },
    { "route", 1, 4, Kind::Plain },
    { "route-delay", 0, 2, Kind::Plain },
    { "route-metric", 1, 1, Kind::Plain },
    { "route-nopull", 0, 0, Kind::Plain },
    { "rport", 1, 1, Kind::Plain },
    { "secret", 1, 2, Kind::File },
    { "server-poll-timeout", 1, 1, Kind::Plain },
    { "sndbuf", 1, 1, Kind::Plain },
    { "tls-auth", 1, 2, Kind::File },
    { "tls-cipher", 1, 1, Kind::Plain },
    { "tls-ciphersuites", 1, 1, Kind::Plain },
    { "tls-client", 0, 0, Kind::Plain },
    { "tls-crypt", 1, 1, Kind::File },
    { "tls-crypt-v2", 1, 1, Kind::File },
    { "tls-version-max", 1, 1, Kind::Plain },
    { "tls-version-min", 1, 2, Kind::Plain },
    { "tun-mtu", 1, 1, Kind::Plain },
    { "verb", 1, 1, Kind::Plain },
    { "verify-x509-name", 1, 2, Kind::Plain },
};

const Rule *findRule(const std::string &name)
{
    for (const Rule &rule : Rules) {
        if (name == rule.name)
            return &rule;
    }
    return nullptr;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// An option name or argument as it may appear in a message: short and printable.
std::string shown(const std::string &text)
{
    std::string result;
    for (char c : text.substr(0, 40))
        result += isControl(c) || static_cast<unsigned char>(c) >= 0x80 ? '?' : c;
    return text.size() > 40 ? result + "..." : result;
}

// Splits a line into words the way OpenVPN does: '#' or ';' at the start of a word
// begins a comment, double quotes take backslash escapes, single quotes take the
// text as it is, a backslash outside single quotes escapes a backslash, a double
// quote or a space. False, with the reason, where OpenVPN would not take the line.
bool splitLine(const std::string &line, std::vector<std::string> &words, std::string &error)
{
    enum State { Between, Unquoted, DoubleQuoted, SingleQuoted };
    State state = Between;
    bool backslash = false;
    std::string word;
    // The end of the line ends the last word, as OpenVPN's closing zero does.
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const char in = i < line.size() ? line[i] : '\0';
        const bool space = in == '\0' || isSpace(in);
        if (!backslash && in == '\\' && state != SingleQuoted) {
            backslash = true;
            continue;
        }
        char out = 0;
        bool ended = false;
        switch (state) {
        case Between:
            if (space)
                break;
            if (in == '#' || in == ';')
                return true;
            if (!backslash && in == '"') {
                state = DoubleQuoted;
            } else if (!backslash && in == '\'') {
                state = SingleQuoted;
            } else {
                out = in;
                state = Unquoted;
            }
            break;
        case Unquoted:
            if (!backslash && space)
                ended = true;
            else
                out = in;
            break;
        case DoubleQuoted:
            if (!backslash && in == '"')
                ended = true;
            else
                out = in;
            break;
        case SingleQuoted:
            if (in == '\'')
                ended = true;
            else
                out = in;
            break;
        }
        if (ended) {
            words.push_back(word);
            word.clear();
            state = Between;
        }
        if (backslash && out && out != '\\' && out != '"' && !isSpace(out)) {
            error = "a backslash may escape only a backslash, a double quote or a space";
            return false;
        }
        backslash = false;
        if (out)
            word += out;
    }
    switch (state) {
    case Between:
        return true;
    case DoubleQuoted:
        error = "a double quote is not closed";
        return false;
    case SingleQuoted:
        error = "a single quote is not closed";
        return false;
    case Unquoted:
        break;
    }
    error = "the line ends in a backslash";
    return false;
}

// How an argument is written for OpenVPN: in double quotes, which take every
// character but the escaped backslash and double quote literally.
std::string quoted(const std::string &text)
{
    std::string result = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            result += '\\';
        result += c;
    }
    return result + '"';
}

bool isProtocol(const std::string &text)
{
    static const char *const protocols[]
        = { "udp", "udp4", "udp6", "tcp", "tcp4", "tcp6", "tcp-client", "tcp4-client", "tcp6-client" };
    for (const char *protocol : protocols) {
        if (text == protocol)
            return true;
    }
    return false;
}

// A network interface name, as the kernel takes one.
bool isDeviceName(const std::string &text)
{
    if (text.empty() || text.size() > 15)
        return false;
    for (char c : text) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.'))
            return false;
    }
    return true;
}

// A port a program without root rights could listen on as well.
bool isUnprivilegedPort(const std::string &text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const int port = std::stoi(text);
    return port >= 1024 && port <= 65535;
}

} // namespace

ProfileFilter::ProfileFilter(std::string configDir, std::string copyDir)
    : m_configDir(std::move(configDir))
    , m_copyDir(std::move(copyDir))
{
    while (m_configDir.size() > 1 && m_configDir.back() == '/')
        m_configDir.pop_back();
}

bool ProfileFilter::refuse(int line, const std::string &message)
{
    m_error = "line " + std::to_string(line) + ": " + message;
    return false;
}

bool ProfileFilter::fileName(const std::string &argument, std::string &name) const
{
    name = argument;
    // The client names its files with the folder's full path.
    const std::string folder = m_configDir + '/';
    if (name.compare(0, folder.size(), folder) == 0)
        name.erase(0, folder.size());
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool ProfileFilter::addFile(int line, const std::string &option, std::string &argument)
{
    std::string name;
    if (!fileName(argument, name)) {
        return refuse(line,
            "option '" + option + "' may name only a file in the profile's own folder, not '"
                + shown(argument) + "'");
    }
    const std::string copy = option + '-' + std::to_string(line);
    m_files.push_back({ line, option, name, copy });
    argument = m_copyDir + '/' + copy;
    return true;
}

bool ProfileFilter::addOption(int line, const std::vector<std::string> &words)
{
    const std::string &name = words.front();
    const Rule *rule = findRule(name);
    if (!rule)
        return refuse(line, "option '" + shown(name) + "' is not allowed");
    std::vector<std::string> arguments(words.begin() + 1, words.end());
    if (arguments.size() < rule->minArguments || arguments.size() > rule->maxArguments) {
        return refuse(
            line, "option '" + name + "' does not take " + std::to_string(arguments.size()) + " argument(s)");
    }
    for (const std::string &argument : arguments) {
        for (char c : argument) {
            if (isControl(c))
                return refuse(line, "option '" + name + "' has an argument with a control character");
        }
        if (argument.empty())
            return refuse(line, "option '" + name + "' has an empty argument");
    }

    switch (rule->kind) {
    case Kind::Plain:
        break;
    case Kind::File:
    case Kind::OptionalFile:
        if (!arguments.empty() && !addFile(line, name, arguments[0]))
            return false;
        break;
    case Kind::Device:
        if (!isDeviceName(arguments.front()))
            return refuse(
                line, "option 'dev' names no network interface: '" + shown(arguments.front()) + "'");
        break;
    case Kind::DeviceType:
        if (arguments.front() != "tun" && arguments.front() != "tap")
            return refuse(line, "option 'dev-type' takes only tun or tap");
        break;
    case Kind::Protocol:
    case Kind::Remote: {
        const std::size_t at = rule->kind == Kind::Protocol ? 0 : 2;
        if (arguments.size() > at && !isProtocol(arguments[at]))
            return refuse(line,
                "option '" + name + "' names a protocol a client does not use: '" + shown(arguments[at])
                    + "'");
        break;
    }
    case Kind::Management:
        // Only this machine may reach the management interface, on a port any user could have taken.
        if (arguments[0] != "127.0.0.1" || !isUnprivilegedPort(arguments[1]))
            return refuse(
                line, "option 'management' is allowed only on 127.0.0.1 and a port from 1024 to 65535");
        if (arguments.size() == 3 && !addFile(line, name, arguments[2]))
            return false;
        break;
    }

    std::string written = name;
    for (const std::string &argument : arguments)
        written += ' ' + quoted(argument);
    if (written.size() > MaxLineLength)
        return refuse(line, "option '" + name + "' is too long once written for OpenVPN");
    m_output += written + '\n';
    return true;
}

bool ProfileFilter::addBlock(
    int line, const std::string &tag, const std::vector<std::string> &lines, std::size_t &next)
{
    const Rule *rule = findRule(tag);
    if (!rule || (rule->kind != Kind::File && rule->kind != Kind::OptionalFile))
        return refuse(line, "block <" + shown(tag) + "> is not allowed");
    // OpenVPN ends the block at the first line that starts with the closing tag,
    // spaces before it allowed.
    const std::string closing = "</" + tag + '>';
    std::string block = '<' + tag + ">\n";
    for (; next < lines.size(); ++next) {
        const std::string &text = lines[next];
        const std::size_t start = text.find_first_not_of(" \t\v\f\r");
        if (start != std::string::npos && text.compare(start, closing.size(), closing) == 0) {
            ++next;
            m_output += block + closing + '\n';
            return true;
        }
        // Keys and certificates are plain ASCII; nothing else can be mistaken for the closing tag.
        for (char c : text) {
            if ((isControl(c) && c != '\t') || static_cast<unsigned char>(c) >= 0x80) {
                return refuse(int(next) + 1, "block <" + tag + "> holds a character that is not plain text");
            }
        }
        block += text + '\n';
    }
    return refuse(line, "block <" + tag + "> is not closed with " + closing);
}

bool ProfileFilter::filter(const std::string &text)
{
    m_output.clear();
    m_files.clear();
    m_error.clear();

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    // OpenVPN skips a byte order mark before the first line.
    if (!lines.empty() && lines.front().compare(0, 3, "\xEF\xBB\xBF") == 0)
        lines.front().erase(0, 3);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() > MaxLineLength)
            return refuse(
                int(i) + 1, "the line is longer than " + std::to_string(MaxLineLength) + " characters");
        // OpenVPN's reading stops at a zero byte, the check would not.
        if (lines[i].find('\0') != std::string::npos)
            return refuse(int(i) + 1, "the line holds a zero byte");
    }

    for (std::size_t next = 0; next < lines.size();) {
        const int line = int(next) + 1;
        std::vector<std::string> words;
        std::string why;
        if (!splitLine(lines[next++], words, why))
            return refuse(line, why);
        if (words.empty())
            continue;
        std::string &name = words.front();
        if (name.size() >= 3 && name.compare(0, 2, "--") == 0)
            name.erase(0, 2);
        if (words.size() == 1 && name.size() >= 2 && name.front() == '<' && name.back() == '>') {
            if (!addBlock(line, name.substr(1, name.size() - 2), lines, next))
                return false;
        } else if (!addOption(line, words)) {
            return false;
        }
    }
    return true;
}
