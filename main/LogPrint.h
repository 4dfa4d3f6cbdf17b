#pragma once

#include "PrintDevice.h"

#include <functional>
#include <string>
#include <vector>

enum class PrintResult { Printed, Failed };

// Prints the log's lines on an A4-shaped grid of about a millimetre (u = width div 210,
// v = height div 297): on every page the header "Print of log file " + dateTime() at
// (22u, 20v), then the lines double spaced from 30v, no wrapping. The first page holds lines
// 0 to 35, every later page the next 35. dateTime is asked anew for every page's header.
// A document that fails to begin, to turn a page or to end is never left open: Failed, with
// the begun document aborted.
PrintResult printLog(PrintDevice& device, const std::vector<std::string>& lines,
                     const std::function<std::string()>& dateTime);
