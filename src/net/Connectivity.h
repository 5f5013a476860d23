#pragma once

// Whether the machine is online, for the dial-up questions.
//
// The desktop's network service is asked through Qt's network information
// (reachability). Where no backend can tell (no network manager running),
// the answer is "connected", so nobody is kept offline by a missing service.

// True unless the network service reports the machine offline. The
// environment variable PAGEWICK_OFFLINE=1 forces "not connected" (for trying
// the offline paths without pulling a cable).
bool isOnline();

// True when a dial-up (point-to-point) link is up, or when the machine is
// online by any other link: the program asks this before publishing for users
// who said they connect by modem, and any working connection will do.
bool isDialUpConfigured();
