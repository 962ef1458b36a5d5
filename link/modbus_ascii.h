// One Modbus ASCII request/reply exchange on an open port.
#pragma once

// Result codes of an exchange and of the register services.
enum KCResult : int {
    KC_OK = 0,
    // A request whose data cannot be sent (a count out of range, a missing
    // buffer); also what a device answers to such data.
    KC_ILLEGAL_DATA = 3,
    KC_BAD_LRC = 5,
    KC_TIMEOUT = 7,
};

// Frames `request` (address, function, data; at most 255 bytes) with its LRC,
// sends it and collects the reply, decoded into `reply` with `*replyCount` its
// byte count including the reply's LRC byte. Returns 0 for a reply with a right
// LRC, 5 for one with a wrong LRC (reply and count filled all the same), 7 when
// the port's mutex stays busy for 3000 ms, no complete reply arrives within the
// read time-out, the reply overflows the 256-character frame or `reply`, or an
// argument is unusable. Exchanges on one port are serialised by its mutex.
int KCCommModBus(void* port, char* request, int requestLength, char* reply, int replyLength, int* replyCount);
