#include "LogModel.h"

void LogModel::add(std::string_view text)
{
    const std::size_t first = lines_.size();
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find("\r\n", start);
        if (pos == std::string_view::npos) {
            lines_.emplace_back(text.substr(start));
            break;
        }
        lines_.emplace_back(text.substr(start, pos - start));
        start = pos + 2;
    }
    if (listener_)
        listener_(Change::Appended, first, lines_.size() - first);
}

void LogModel::clear()
{
    lines_.clear();
    if (listener_)
        listener_(Change::Cleared, 0, 0);
}

const std::string& LogModel::line(std::size_t i) const
{
    static const std::string empty;
    return i < lines_.size() ? lines_[i] : empty;
}
