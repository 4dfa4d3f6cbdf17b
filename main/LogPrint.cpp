#include "LogPrint.h"

#include <cstddef>

namespace {

const char* const HeaderText = "Print of log file ";
constexpr std::size_t LinesPerPage = 35;

} // namespace

PrintResult printLog(PrintDevice& device, const std::vector<std::string>& lines,
                     const std::function<std::string()>& dateTime)
{
    const int u = device.pageWidth() / 210;
    const int v = device.pageHeight() / 297;
    const int x = 22 * u;

    if (!device.begin())
        return PrintResult::Failed;

    bool ok = true;
    try {
        device.drawText(x, 20 * v, HeaderText + dateTime());
        std::size_t b = 0;
        const std::size_t n = lines.size();
        for (std::size_t i = 0; ok && i < n; ++i) {
            const int h = device.textHeight(lines[i]);
            device.drawText(x, 30 * v + 2 * h * static_cast<int>(i - b), lines[i]);
            if (i != 0 && i % LinesPerPage == 0) {
                ok = device.newPage();
                if (ok) {
                    device.drawText(x, 20 * v, HeaderText + dateTime());
                    b = i;
                }
            }
        }
        if (ok)
            ok = device.end();
    } catch (...) {
        // Whatever went wrong, the begun document is not left open.
        device.abort();
        throw;
    }
    if (!ok) {
        device.abort();
        return PrintResult::Failed;
    }
    return PrintResult::Printed;
}
