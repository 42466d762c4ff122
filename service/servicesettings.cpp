#include "servicesettings.h"

namespace {

std::string trimmed(const std::string &text)
{
    const std::size_t start = text.find_first_not_of(" \t\r");
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find_last_not_of(" \t\r") - start + 1);
}

void appendUtf8(std::string &text, unsigned int code)
{
    if (code < 0x80) {
        text += char(code);
    } else if (code < 0x800) {
        text += char(0xc0 | (code >> 6));
        text += char(0x80 | (code & 0x3f));
    } else {
        text += char(0xe0 | (code >> 12));
        text += char(0x80 | ((code >> 6) & 0x3f));
        text += char(0x80 | (code & 0x3f));
    }
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A value as Qt writes it: parts in double quotes, backslash escapes, \x for
// what is not printable. A comma or semicolon outside quotes would make it a
// list or cut it: none of the service's values is one.
bool unescaped(const std::string &text, std::string &value)
{
    static const std::string plain = "abfnrtv";
    static const std::string escaped = "\a\b\f\n\r\t\v";
    value.clear();
    bool inQuotes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == '\\') {
            if (++i == text.size())
                return false;
            const char next = text[i];
            if (next == 'x') {
                unsigned int code = 0;
                int digits = 0;
                while (i + 1 < text.size() && digits < 4 && hexDigit(text[i + 1]) >= 0) {
                    code = code * 16 + unsigned(hexDigit(text[++i]));
                    ++digits;
                }
                if (digits == 0)
                    return false;
                appendUtf8(value, code);
            } else if (plain.find(next) != std::string::npos) {
                value += escaped[plain.find(next)];
            } else if (next == '\\' || next == '"' || next == '\'' || next == '?') {
                value += next;
            } else {
                return false;
            }
        } else if (!inQuotes && (c == ',' || c == ';')) {
            return false;
        } else {
            value += c;
        }
    }
    return !inQuotes;
}

} // namespace

bool ServiceSettings::parse(const std::string &text)
{
    m_values.clear();
    m_error.clear();
    // Keys before any group belong to [General], as Qt reads them.
    bool general = true;
    std::size_t start = 0;
    int number = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++number;
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            general = line == "[General]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            m_error = "line " + std::to_string(number) + " is no key=value line";
            return false;
        }
        if (!general)
            continue;
        std::string value;
        if (!unescaped(trimmed(line.substr(equals + 1)), value)) {
            m_error = "line " + std::to_string(number) + " holds a value that is not a single text";
            return false;
        }
        m_values[trimmed(line.substr(0, equals))] = value;
    }
    return true;
}

std::string ServiceSettings::value(const std::string &key) const
{
    const auto found = m_values.find(key);
    return found == m_values.end() ? std::string() : found->second;
}
