// A real MQTT broker for the tests and benchmarks: Debian's mosquitto on a
// free port of 127.0.0.1, with a password file made by mosquitto_passwd and
// a store of its own (persistence on, so that a subscriber's session and the
// messages queued for it survive a restart, as at a plant). The broker can be
// stopped and started again on the same port.
#pragma once

#include "child_process.h"
#include "test_support.h"

#include <memory>
#include <string>

namespace testing_support {

// A TCP port of 127.0.0.1 that nothing listens on at the moment.
int freeTcpPort();
// A TCP connection to `port` of 127.0.0.1, or -1 when nothing takes it.
int connectLoopback(int port);

class MosquittoBroker {
public:
    // Users and their passwords, one user per broker is enough for the tests.
    MosquittoBroker(const std::string& user, const std::string& password);
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Starts the broker and returns once it takes connections; false when it
    // did not within the deadline.
    bool start();
    // Ends the broker (SIGTERM: it saves its store) and waits for its end.
    void stop();

    // Adds a TLS listener on a free port, with a certificate authority and a
    // server certificate for localhost and 127.0.0.1 made by openssl; takes
    // effect at the next start. Returns the CA's certificate file, or an
    // empty text when openssl failed.
    std::string addTlsListener();
    int tlsPort() const { return tlsPort_; }

    int port() const { return port_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    // What the broker said, for failure messages.
    std::string log() const;

private:
    TempDir dir_;
    int port_;
    int tlsPort_ = -1;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace testing_support
