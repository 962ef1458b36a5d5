// Register services on top of the Modbus ASCII exchange, and the reading of a
// device's identification.
//
// Every service takes the port handle and the device address (used as an
// unsigned byte) first and returns 0, an exchange code (5 wrong checksum, 7 no
// reply or port busy) or the exception code of the device's reply. A request
// the library refuses to send, because its count does not fit the frame or a
// buffer is missing, gives KC_ILLEGAL_DATA (3), the code a device gives for a
// quantity out of range; nothing is sent then and no buffer is touched.
#pragma once

#include <kcmb/device_info.h>
#include <kcmb/link_result.h>

// Function 7: the device's status byte, sign-extended. An exception reply
// delivers its exception code as the value.
int readException(void* port, char address, unsigned short* status);

// Function 5: the device's type byte, sign-extended. An exception reply
// delivers its exception code as the value.
int readTypeID(void* port, char address, unsigned short* type);

// Function 4: reads `count` registers from `start` into `words`, in host order.
// Only a reply that carries exactly the registers asked for is taken (see
// KCCommModBus); anything else leaves `words` as they were.
int readWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count);

// Function 16: writes `count` words to the registers from `start`. The words
// are turned into line order in place and stay so: callers pass a copy. At
// most kMaxWriteWords words fit one request.
int writeWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count);
constexpr unsigned short kMaxWriteWords = 124;

// Function 25: writes `count` words (at most kMaxTableWords) in blocks of 10
// words from `start`; with `swap` non-zero the words are given in host order
// and sent in line order. The caller's words are never changed. A count of 0
// sends nothing and gives 0.
int writeTable(void* port, char address, unsigned short start, unsigned short* words, unsigned short count,
               unsigned short swap);
constexpr unsigned short kMaxTableWords = 150;

// Reads registers 0 to 24 (and the type byte) of the device at `address` and
// fills `info`. On a failed read the first failure is returned and `info`
// stays as it was; otherwise `info` is cleared and filled, its address set to
// `address`, and 0 is returned.
int getDeviceInfo(void* port, char address, DeviceInfo* info);

// The same services with their typed results, for callers that tell the
// operator which error it was (the program's workers).
namespace kc {

Result readException(void* port, char address, unsigned short* status);
Result readTypeID(void* port, char address, unsigned short* type);
Result readWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count);
Result writeWords(void* port, char address, unsigned short start, unsigned short* words, unsigned short count);
Result writeTable(void* port, char address, unsigned short start, unsigned short* words, unsigned short count,
                  unsigned short swap);
Result getDeviceInfo(void* port, char address, DeviceInfo* info);

}  // namespace kc
