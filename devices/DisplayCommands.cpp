#include "DisplayCommands.h"

#include "DisplayReplies.h"

std::string TwoDigits(int value)
{
    std::string text = std::to_string(value);
    return value >= 0 && value < 10 ? "0" + text : text;
}

int CommandYear(int year)
{
    return year >= 100 ? year - 2000 : year;
}

std::string DateCommand(int day, int month, int year)
{
    return "SET DATE=" + TwoDigits(day) + "/" + TwoDigits(month) + "/" + TwoDigits(CommandYear(year));
}

std::string TimeCommand(int hour, int minute)
{
    return "SET TIME=" + TwoDigits(hour) + ":" + TwoDigits(minute);
}

RefreshCommand RefreshCommandFor(std::string_view editText)
{
    RefreshCommand result;
    if (editText.empty())
        return result;
    std::string text(editText);
    if (text.size() == 1)
        text.insert(0, "0");
    const std::optional<std::int32_t> value = ReadsAsInteger(text);
    if (!value) {
        result.action = RefreshCommand::Action::WrongValue;
        return result;
    }
    if (*value > 12)
        return result;
    result.action = RefreshCommand::Action::Send;
    result.command = "SET REFR=" + text;
    return result;
}

std::string EntryCommand(std::string_view a)
{
    return "SET ENTR=" + std::string(a);
}

std::string DeviceCommand(std::string_view head, std::string_view a, std::string_view value)
{
    std::string text(head);
    text += a;
    text += ',';
    text += value;
    return text;
}

std::string DeleteCommand(std::string_view a)
{
    return "DEL ENTR=" + std::string(a);
}

std::string ZeroCommand(std::string_view a)
{
    return "SET DELP=" + std::string(a) + ",0";
}

std::string EntryQuestion(std::string_view a, int record)
{
    return "GET ENTR=" + std::string(a) + "," + std::to_string(record);
}

std::string TariffQuestion(std::string_view a, int input)
{
    return "GET TARR=" + std::string(a) + "," + std::to_string(input);
}

std::string HistQuestion(std::string_view a, int slot)
{
    return "GET HIST=" + std::string(a) + "," + std::to_string(slot);
}
