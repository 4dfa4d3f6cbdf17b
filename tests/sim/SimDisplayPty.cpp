#include "SimDisplayPty.h"

DisplayPtySimulator::DisplayPtySimulator(SimDisplay& display, DisplayPtyOptions options)
    : display_(display)
    , options_(std::move(options))
    , framer_(options_.idleGap)
    , line_({options_.programFolder, options_.portName}, *this, mutex_)
{
}

DisplayPtySimulator::~DisplayPtySimulator()
{
    line_.stop();
}

void DisplayPtySimulator::start()
{
    if (line_.running())
        return;
    {
        std::lock_guard lock(mutex_);
        framer_ = SimBurstFramer(options_.idleGap);
    }
    line_.start();
}

void DisplayPtySimulator::stop()
{
    line_.stop();
}

// The line's calls below come with mutex_ held.

std::optional<DisplayPtySimulator::Clock::time_point> DisplayPtySimulator::deadline() const
{
    return framer_.deadline();
}

void DisplayPtySimulator::answer(const SimBurstFramer::Burst& burst, Clock::time_point now,
                                 SimPtyLine::Writes& out)
{
    const SimDisplayReply reply = display_.handle(burst.bytes, burst.last);
    const Clock::time_point at = now + reply.delay;
    if (reply.drop)
        out.hangUp(at, "connection dropped");
    else if (reply.split && reply.bytes.size() > 1)
        out.writeSplit(at, reply.firstPart(), reply.secondPart(), *reply.split);
    else if (!reply.bytes.empty())
        out.write(at, reply.bytes, {});
}

void DisplayPtySimulator::received(std::string_view bytes, Clock::time_point now, SimPtyLine::Writes& out)
{
    for (const SimBurstFramer::Burst& b : framer_.feed(bytes, now))
        answer(b, now, out);
    if (const auto b = framer_.idle(now))
        answer(*b, now, out);
}

void DisplayPtySimulator::wrote(std::string bytes, std::string text, Clock::time_point now)
{
    display_.recordReply(std::move(bytes), now, std::move(text));
}

void DisplayPtySimulator::hungUp(std::string text, Clock::time_point now)
{
    display_.recordHangUp(now, std::move(text));
}
