// kl_poll's Modbus TCP server (libmodbus): serves the RegisterBlocks as input
// registers (function 4) on a thread of its own, so that no client, however
// slow or hostile, ever delays the polling of the serial line. Every other
// function, every write among them, is refused with exception 1 (illegal
// function); a read outside the registers gets exception 2 from libmodbus.
// At most kMaxClients clients are served at a time: a further one is
// closed as it connects. A client whose request stops halfway is dropped
// after kByteTimeoutMs, and one that does not take its reply within
// kSendTimeoutMs; bytes that make no request get an exception or drop the
// client, as libmodbus reads them.
#pragma once

#include "register_blocks.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace tools {

class ModbusTcpServer {
public:
    static constexpr int kMaxClients = 8;
    static constexpr int kByteTimeoutMs = 200;
    static constexpr int kSendTimeoutMs = 500;

    explicit ModbusTcpServer(const RegisterBlocks& blocks);
    ~ModbusTcpServer();
    ModbusTcpServer(const ModbusTcpServer&) = delete;
    ModbusTcpServer& operator=(const ModbusTcpServer&) = delete;

    // Listens on `host` (a name or an address) and `port` (0: any free one)
    // and starts serving; false with the reason when the address cannot be
    // taken.
    bool start(const std::string& host, int port, std::string& error);
    // The port it listens on.
    int port() const { return port_; }

private:
    void run();
    void accept();
    // Serves one request of the client on `socket`; false when it is to be dropped.
    bool serve(int socket);

    const RegisterBlocks& blocks_;
    modbus_t* context_ = nullptr;
    modbus_mapping_t* mapping_ = nullptr;
    int listener_ = -1;
    int port_ = 0;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::vector<int> clients_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace tools
