#pragma once

#include <string>

// Where the program's files live. Every file is opened by an absolute path built from here;
// the process's current directory is never changed or used.
//
// The default folder is the executable's folder (from /proc/self/exe); a non-empty
// FEROLT_HOME overrides it. The base name is the executable's file name without its
// extension ("ferolt"), so the settings file is "<folder>/ferolt.ini". Paths are file-system
// byte strings.
class ProgramPaths {
public:
    // The running program's paths.
    ProgramPaths();
    // Explicit paths (tests): folder is made absolute, trailing slashes are dropped.
    ProgramPaths(std::string folder, std::string baseName);

    // The program folder, absolute, without a trailing slash ("/" stays "/").
    const std::string& folder() const { return folder_; }
    const std::string& baseName() const { return baseName_; }

    // "<folder>/<base>.ini"
    std::string iniPath() const;
    // "<folder>/files": the accounts file's folder.
    std::string filesDir() const;
    // "<folder>/ports": links named COMn to serial devices.
    std::string portsDir() const;
    // "<folder>/<name>"
    std::string inFolder(const std::string& name) const;

private:
    std::string folder_;
    std::string baseName_;
};
