#include "RecordingPrintDevice.h"

#include <algorithm>

bool RecordingPrintDevice::begin()
{
    events.push_back({Kind::Begin, 0, 0, {}});
    return !failBegin;
}

bool RecordingPrintDevice::newPage()
{
    events.push_back({Kind::NewPage, 0, 0, {}});
    return ++newPages_ != failAtNewPage;
}

void RecordingPrintDevice::drawText(int x, int y, const std::string& text)
{
    events.push_back({Kind::Text, x, y, text});
}

bool RecordingPrintDevice::end()
{
    events.push_back({Kind::End, 0, 0, {}});
    return !failEnd;
}

void RecordingPrintDevice::abort()
{
    events.push_back({Kind::Abort, 0, 0, {}});
}

std::size_t RecordingPrintDevice::count(Kind kind) const
{
    return static_cast<std::size_t>(
        std::count_if(events.begin(), events.end(), [kind](const Event& e) { return e.kind == kind; }));
}

std::vector<std::vector<RecordingPrintDevice::Event>> RecordingPrintDevice::pages() const
{
    std::vector<std::vector<Event>> result;
    for (const Event& e : events) {
        if (e.kind == Kind::Begin || e.kind == Kind::NewPage)
            result.emplace_back();
        else if (e.kind == Kind::Text && !result.empty())
            result.back().push_back(e);
    }
    return result;
}
