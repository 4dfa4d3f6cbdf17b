#pragma once

#include "SimDisplay.h"
#include "SimDisplayModule.h"
#include "SimGateway.h"

// The display behind the TCP simulators: its answers, with their faults, to the text commands
// that reach the display's Ethernet module (raw bursts) or a gateway (A1 packets on the
// gateway-server link, bare bursts from the program when the gateway called in). Gateway
// replies are cut to the 251 bytes a reply packet holds. The display's log gets each command
// and each write of its replies. The display must outlive the simulator.
void simAttachDisplay(SimDisplayModule& module, SimDisplay& display);
void simAttachDisplay(SimGateway& gateway, SimDisplay& display);
