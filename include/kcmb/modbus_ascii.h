// One Modbus ASCII request/reply exchange on an open port.
#pragma once

#include <kcmb/link_result.h>

// Result codes of an exchange and of the register services.
enum KCResult : int {
    KC_OK = 0,
    // A request whose data cannot be sent (a count out of range, a missing
    // buffer); also what a device answers to such data.
    KC_ILLEGAL_DATA = 3,
    KC_BAD_LRC = 5,
    KC_WRONG_ADDRESS = 6,
    KC_TIMEOUT = 7,
};

// Frames `request` (address, function, data; at most 255 bytes) with its LRC,
// sends it and collects the reply, decoded into `reply` with `*replyCount` its
// byte count including the reply's LRC byte. Stale input is cleared before the
// request goes out; on a line that echoes the request (two-wire RS-485) the
// echo is recognised and skipped (see KCSetEchoMode). A reply is accepted only
// when its LRC is right and it answers what was asked: the same address, the
// same function or its exception form, and the length the function calls for
// (function 4: the byte count of the registers asked; 16 and 25: the start
// and count echoed; 5 and 7: one byte).
//
// Returns 0 for an accepted reply (an exception reply included: the caller
// reads its code), 5 for a wrong LRC (reply and count filled all the same) or
// a reply of another function or length, 6 for a reply from another address,
// 7 when the port's mutex stays busy for 3000 ms, the request cannot be sent,
// no complete reply arrives within the read time-out, the port fails, the
// reply overflows the 256-character frame or `reply`, or an argument is
// unusable. Exchanges on one port are serialised by its mutex.
int KCCommModBus(void* port, char* request, int requestLength, char* reply, int replyLength, int* replyCount);

namespace kc {

// The exchange of KCCommModBus with its typed result.
Result exchange(void* port, const char* request, int requestLength, char* reply, int replyLength, int* replyCount);

}  // namespace kc
