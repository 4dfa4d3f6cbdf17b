#pragma once

#include "BusSimulator.h"

#include <memory>

// Holds the bus, so that it outlives the program's windows when it is a fixture's first base
// (a base is destroyed last).
struct BusHolder {
    std::unique_ptr<BusSimulator> bus;
};
