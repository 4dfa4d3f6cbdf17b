#include "ProgramPaths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

std::string normalizedFolder(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::path p(folder.empty() ? std::string(".") : folder);
    if (!p.is_absolute()) {
        const std::filesystem::path abs = std::filesystem::absolute(p, ec);
        if (!ec)
            p = abs;
    }
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

// The file name without its last extension, as a Windows program replaces the extension
// of its own path: "ferolt" stays "ferolt", "ferolt.bin" gives "ferolt".
std::string withoutExtension(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

} // namespace

ProgramPaths::ProgramPaths()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string exeFolder = ec ? std::string(".") : exe.parent_path().string();
    baseName_ = ec ? std::string("ferolt") : withoutExtension(exe.filename().string());
    const char* home = std::getenv("FEROLT_HOME");
    folder_ = normalizedFolder(home && *home ? std::string(home) : exeFolder);
}

ProgramPaths::ProgramPaths(std::string folder, std::string baseName)
    : folder_(normalizedFolder(folder)), baseName_(std::move(baseName))
{
}

std::string ProgramPaths::inFolder(const std::string& name) const
{
    return folder_ == "/" ? "/" + name : folder_ + "/" + name;
}

std::string ProgramPaths::iniPath() const { return inFolder(baseName_ + ".ini"); }
std::string ProgramPaths::filesDir() const { return inFolder("files"); }
std::string ProgramPaths::portsDir() const { return inFolder("ports"); }
