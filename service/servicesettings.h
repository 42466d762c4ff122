#pragma once

#include <map>
#include <string>

// The system-wide settings the client writes for the service (an INI file as Qt
// writes it): the values of its [General] group.
class ServiceSettings
{
public:
    // False when the text is not such a file; error() says why.
    bool parse(const std::string &text);

    // The value, or an empty text where the key is missing.
    std::string value(const std::string &key) const;
    const std::string &error() const { return m_error; }

private:
    std::map<std::string, std::string> m_values;
    std::string m_error;
};
