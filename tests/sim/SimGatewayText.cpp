#include "SimGatewayText.h"

GatewayTextSimulator::GatewayTextSimulator(std::filesystem::path programFolder, std::string portName,
                                           std::chrono::milliseconds idleGap)
    : framer_(idleGap)
    , line_({std::move(programFolder), std::move(portName)}, *this, mutex_)
{
}

GatewayTextSimulator::~GatewayTextSimulator()
{
    line_.stop();
}

void GatewayTextSimulator::start()
{
    line_.start();
}

void GatewayTextSimulator::stop()
{
    line_.stop();
}

std::string GatewayTextSimulator::cannedAnswer(std::string_view getKey)
{
    const std::string key(getKey);
    return key + ": Tovek-2 1.07\r\n" + key + ": status 0\r\n";
}

std::string GatewayTextSimulator::answerTo(std::string_view command)
{
    if (command.starts_with("GET ") && command.size() > 4)
        return cannedAnswer(command.substr(4));
    if (command.starts_with("SET ") && command.size() > 4)
        return "OK";
    return "ERROR";
}

std::optional<GatewayTextSimulator::Setting> GatewayTextSimulator::settingOf(std::string_view command)
{
    if (!command.starts_with("SET ") || command.size() == 4)
        return std::nullopt;
    const std::string_view rest = command.substr(4);
    const std::size_t eq = rest.find('=');
    if (eq == std::string_view::npos)
        return Setting {std::string(rest), {}};
    return Setting {std::string(rest.substr(0, eq)), std::string(rest.substr(eq + 1))};
}

void GatewayTextSimulator::setSilent(bool silent)
{
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

void GatewayTextSimulator::hangUp()
{
    line_.hangUpNow("hung up by the test");
}

std::vector<GatewayTextSimulator::Command> GatewayTextSimulator::commands() const
{
    std::lock_guard lock(mutex_);
    return commands_;
}

std::size_t GatewayTextSimulator::replyCount() const
{
    std::lock_guard lock(mutex_);
    return replies_;
}

std::map<std::string, std::string> GatewayTextSimulator::store() const
{
    std::lock_guard lock(mutex_);
    return store_;
}

void GatewayTextSimulator::clearLog()
{
    std::lock_guard lock(mutex_);
    commands_.clear();
    replies_ = 0;
}

bool GatewayTextSimulator::waitForCommands(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return commands_.size() >= n; });
}

bool GatewayTextSimulator::waitForReplies(std::size_t n, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return replies_ >= n; });
}

// The line's calls below come with mutex_ held.

std::optional<GatewayTextSimulator::Clock::time_point> GatewayTextSimulator::deadline() const
{
    return framer_.deadline();
}

void GatewayTextSimulator::command(SimBurstFramer::Burst burst, Clock::time_point now, SimPtyLine::Writes& out)
{
    const std::string_view text = burst.bytes;
    if (auto setting = settingOf(text))
        store_[std::move(setting->key)] = std::move(setting->value);
    if (!silent_)
        out.write(now, answerTo(text), {});
    commands_.push_back({std::move(burst.bytes), burst.last});
}

void GatewayTextSimulator::received(std::string_view bytes, Clock::time_point now, SimPtyLine::Writes& out)
{
    for (SimBurstFramer::Burst& b : framer_.feed(bytes, now))
        command(std::move(b), now, out);
    if (auto b = framer_.idle(now))
        command(std::move(*b), now, out);
}

void GatewayTextSimulator::wrote(std::string /*bytes*/, std::string /*text*/, Clock::time_point /*now*/)
{
    ++replies_;
}

void GatewayTextSimulator::hungUp(std::string /*text*/, Clock::time_point /*now*/) {}
