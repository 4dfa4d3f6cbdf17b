#pragma once

#include "AppFixture.h"
#include "SimGatewayText.h"
#include "UsEnglishLocale.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The program's windows with a gateway's service port simulated on ports/COM1, the clock at
// 3 March 2026 09:05 and the gateways' page shown from code (its tab stays hidden). The
// settings file chooses COM1 at 2400 baud, the language and the letter encoding; extraMisc
// adds lines to its [Misc] section (a link box, "UseEthernet=1\r\n"). Every reply display
// lasts the test's short response time-out.
//
//     startGateway();
//     f().Edit_own_ip->setText("192.168.1.10");
//     f().Butt_CMT->click();
//     ASSERT_TRUE(gateway->waitForReplies(1, 5s));
//     endReplyDisplay(2);   // "OK"
struct GatewayHolder {
    std::unique_ptr<GatewayTextSimulator> gateway;
};

class GatewayAppFixture : protected GatewayHolder, public AppFixture {
protected:
    static constexpr int Timeout = 150;

    GatewayAppFixture();

    void startGateway(std::string_view extraMisc = {}, int languageNo = 1, bool unicode = false);
    // The reply display's tick, run by hand once `waiting` bytes wait on the open serial port
    // (the simulator has written them; the line hands them over a moment later): its timer
    // stopped first.
    void endReplyDisplay(std::size_t waiting = 0);

private:
    UsEnglishLocale locale_;
};
