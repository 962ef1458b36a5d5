// The typed result of a device request: which error it was, and whether it
// came from the line, the port or the device. The exported functions of the
// library keep their small integer codes (code()); the program's workers use
// the typed result to tell the operator what happened.
#pragma once

namespace kc {

enum class Fault {
    None,
    // The device answered with an exception reply; `exception` holds its code.
    DeviceException,
    // A complete reply whose checksum is wrong.
    BadChecksum,
    // A reply from another address than the one asked.
    WrongAddress,
    // A reply for another function than the one asked.
    WrongFunction,
    // A reply shorter or longer than the request calls for, or whose byte
    // count disagrees with what was asked.
    BadLength,
    // No complete reply within the read time-out.
    Timeout,
    // Characters kept coming until the exchange's deadline without a reply
    // among them: another talker streams on the line.
    EndlessInput,
    // The port's mutex stayed busy for 3000 ms.
    PortBusy,
    // The request could not be sent within the port's time-out and its line
    // time (a wedged adapter).
    WriteFailed,
    // The port failed: the adapter is gone or the line hung up.
    PortFailed,
    // The library refused to send: a count that does not fit, a missing buffer.
    BadArgument,
};

struct Result {
    Fault fault = Fault::None;
    int exception = 0;

    bool ok() const { return fault == Fault::None; }
    // The code of the exported functions: 0; the device's exception code;
    // 3 for a request the library refuses; 5 for a reply that is corrupt
    // (checksum, function or length); 6 for a reply from another address;
    // 7 for no reply, a stream without a reply, a busy, wedged or failed port.
    int code() const;

    static Result success() { return {}; }
    static Result failure(Fault f) { return Result{f, 0}; }
    static Result deviceException(int code) { return Result{Fault::DeviceException, code}; }
};

}  // namespace kc
