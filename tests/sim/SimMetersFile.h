#pragma once

#include "SimMeter.h"

#include <filesystem>
#include <string_view>
#include <vector>

// The meters file of mbus_sim: one meter a line, "#" starts a comment that runs to the line
// end, blank lines are skipped, fields are key=value separated by blanks:
//   addr=5             primary address 0-250 (required)
//   id=12345678        eight hex digits (required unless a CI 72 telegram gives it)
//   mfr=ABC            manufacturer letters (default ABC, or the telegram's)
//   ver=1 medium=0x07  version and medium, decimal or 0x hex (default 1 and 0x07, or the telegram's)
//   telegram=f.hex     the reply telegram from a hex file, relative to the meters file
//   records=0C13...    or the record bytes of a built telegram, as hex digits
//   silent=1 late=200 wrongsum=1 e5=1   faults: silent, late by N ms, wrong sum, E5 for REQ_UD2
// Errors throw std::runtime_error naming the line.
std::vector<SimMeter> simParseMeters(std::string_view text, const std::filesystem::path& folder);
// Reads and parses a meters file; relative telegram paths start at its folder.
std::vector<SimMeter> simReadMetersFile(const std::filesystem::path& file);
