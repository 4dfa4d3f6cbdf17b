#pragma once

#include "SimDisplay.h"

#include <filesystem>
#include <string_view>

// The entries file of mbus_sim's display mode: one device a line, "#" starts a comment that
// runs to the line end, blank lines are skipped, fields are key=value separated by blanks:
//   addr=5                 address 1-250 (required)
//   unit=2 mult=10 div=1   unit code (1 kWh, 2 m3, 3 kJ, 4 MJ), multiplier, divider
//   user=0042              user number
//   start=12.5,0,0,0       start values: main, P1, P2, cooling (missing ones stay 0)
//   total=100,1,2,3        totals, likewise
//   hist=03/24:10;20;30    history: the newest month and year, then the values of slots 1..12
//   day=5                  the day the history dates show (default 1)
//   text=Flat 1            the free text: the rest of the line, blanks included (so last)
// A line of display settings instead: months=en|it|ru  t1=0|1  addrform=list|listcr|lines.
// Errors throw std::runtime_error naming the line.
void simParseDisplayEntries(std::string_view text, SimDisplay& display);
void simReadDisplayFile(const std::filesystem::path& file, SimDisplay& display);
