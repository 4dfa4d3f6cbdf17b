#include "Prompts.h"

#include <filesystem>
#include <system_error>

Prompts::Answer Prompts::ask(QWidget* owner, Icon icon, std::string_view caption, std::string_view text,
                             Buttons buttons)
{
    return message(owner, icon, caption, text, buttons);
}

std::string Prompts::startFolder(const FileDialog& dialog)
{
    std::error_code ec;
    if (!dialog.initialFolder.empty() && std::filesystem::is_directory(dialog.initialFolder, ec))
        return dialog.initialFolder;
    return dialog.fallbackFolder;
}

std::string Prompts::withDefaultExtension(std::string name, std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.')
        extension.remove_prefix(1);
    if (name.empty() || extension.empty())
        return name;
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    if (base == name.size() || name.find('.', base) != std::string::npos)
        return name;
    name += '.';
    name += extension;
    return name;
}

std::optional<std::string> Prompts::openFile(QWidget* owner, FileDialog dialog)
{
    dialog.initialFolder = startFolder(dialog);
    std::string name = showOpenDialog(owner, dialog);
    if (name.empty())
        return std::nullopt;
    return name;
}

std::optional<std::string> Prompts::saveFile(QWidget* owner, FileDialog dialog)
{
    dialog.initialFolder = startFolder(dialog);
    std::string name = showSaveDialog(owner, dialog);
    if (name.empty())
        return std::nullopt;
    return withDefaultExtension(std::move(name), dialog.defaultExtension);
}
