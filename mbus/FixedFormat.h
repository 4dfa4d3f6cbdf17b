#pragma once

#include <string>

// The number format of decoded values: value rounded to `precision` significant digits (or
// to `decimals` decimals, whichever is coarser), written with exactly `decimals` digits after
// `separator` (zeros appended) and "-" when negative. When the integer part needs more than
// `precision` digits the value is written in exponent form instead: the significant digits
// without trailing zeros and "E+" with the exponent, 123456789 with precision 8 giving
// "1.2345679E+8". Independent of the C locale.
std::string FormatFixed(long double value, int precision, int decimals, char separator);
