#pragma once

#include <string>
#include <vector>

// Checks an OpenVPN client profile that comes from a folder an ordinary user
// writes, and writes it anew for the OpenVPN that runs as root. Only the options
// a client profile needs pass; every argument is written quoted, so that OpenVPN
// reads exactly what was checked, whatever quoting or escaping the user's file
// played with; files the profile names are copied into root's own folder.
class ProfileFilter
{
public:
    // A file the profile names inside the user's folder, and the name of its copy.
    struct File
    {
        int line;
        std::string option;
        std::string name;
        std::string copy;
    };

    // configDir: the user's folder as the settings name it; a name spelt as a path
    // into it counts as a plain name. copyDir: the folder the copies go to.
    ProfileFilter(std::string configDir, std::string copyDir);

    // False when the profile holds anything that is not allowed; error() says what.
    bool filter(const std::string &text);

    // The profile as OpenVPN gets it.
    const std::string &output() const { return m_output; }
    const std::vector<File> &files() const { return m_files; }
    // "line N: ..." for the first thing refused.
    const std::string &error() const { return m_error; }

private:
    bool refuse(int line, const std::string &message);
    bool fileName(const std::string &argument, std::string &name) const;
    // Takes the file `argument` names for copying, and points it at the copy.
    bool addFile(int line, const std::string &option, std::string &argument);
    bool addOption(int line, const std::vector<std::string> &tokens);
    bool addBlock(int line, const std::string &tag, const std::vector<std::string> &lines, std::size_t &next);

    std::string m_configDir;
    std::string m_copyDir;
    std::string m_output;
    std::vector<File> m_files;
    std::string m_error;
};
