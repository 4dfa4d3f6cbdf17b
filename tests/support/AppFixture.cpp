#include "AppFixture.h"

#include "IniFile.h"
#include "SioOsCalls.h"
#include "StringGrid.h"
#include "TForm11.h"
#include "TLogin.h"

#include <algorithm>
#include <fstream>
#include <sstream>

AppFixture::AppFixture() : paths_(dir_.path().toStdString(), "ferolt") {}

AppFixture::~AppFixture()
{
    windows_.reset();
}

void AppFixture::writeIni(std::string_view text)
{
    IniFile ini = IniFile::fromText(text);
    ini.writeString("LANXP", "IP", "127.0.0.1");
    std::ofstream out(paths_.iniPath(), std::ios::binary | std::ios::trunc);
    out << ini.text();
    ASSERT_TRUE(out.good()) << paths_.iniPath();
}

std::string AppFixture::readIni() const
{
    std::ifstream in(paths_.iniPath(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void AppFixture::start()
{
    startAtLogin();
    loginAs("Setup", UserRights::all());
}

void AppFixture::startAtLogin()
{
    windows_.reset();
    windows_ = std::make_unique<ProgramWindows>(paths_, prompts, clock, [this] { ++quitRequests; }, serialOs_.get());
    windows_->Login->show();
}

void AppFixture::loginAs(const std::string& level, const UserRights& rights)
{
    windows_->Login->ApplyAccess(level, rights);
}

void AppFixture::useSerialOs(std::unique_ptr<SioOsCalls> os)
{
    windows_.reset();   // a port that still uses the old calls goes first
    serialOs_ = std::move(os);
}

void AppFixture::destroyWindows()
{
    windows_.reset();
}

std::size_t AppFixture::logCount(const std::string& text, std::size_t first)
{
    const std::vector<std::string>& lines = form11().Log.lines();
    if (first >= lines.size())
        return 0;
    return static_cast<std::size_t>(std::count(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end(), text));
}

std::vector<std::string> AppFixture::logFrom(std::size_t first)
{
    const std::vector<std::string>& lines = form11().Log.lines();
    if (first >= lines.size())
        return {};
    return {lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end()};
}

std::size_t AppFixture::logSize()
{
    return form11().Log.count();
}

std::string AppFixture::lastLogLine()
{
    return form11().Log.line(form11().Log.count() - 1);
}

std::string AppFixture::rowText(const StringGrid& grid, int row)
{
    std::string text;
    for (int c = 0; c < grid.ColCount(); ++c)
        text += (c ? "|" : "") + grid.cell(c, row);
    return text;
}
