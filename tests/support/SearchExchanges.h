#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

// Exchanges a wildcard search spends on a bus of these IDs (eight decimal digits each): ten
// selects, one read per distinct ID, and eleven (a read that collides, then ten selects one
// digit deeper) per prefix of length 1 to 7, in search order, that two or more meters share.
inline int SearchExchanges(const std::vector<std::string>& ids, bool lsbFirst)
{
    const std::set<std::string> distinct(ids.begin(), ids.end());
    int shared = 0;
    for (std::size_t length = 1; length <= 7; ++length) {
        std::map<std::string, int> holders;
        for (const std::string& id : ids)
            ++holders[lsbFirst ? id.substr(8 - length) : id.substr(0, length)];
        for (const auto& [prefix, n] : holders)
            shared += n >= 2;
    }
    return 10 + static_cast<int>(distinct.size()) + 11 * shared;
}
