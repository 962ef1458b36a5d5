#include "mosquitto_broker.h"

#include "tdf_builder.h"

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <stdexcept>

namespace testing_support {

namespace {

bool accepts(int port)
{
    const int s = connectLoopback(port);
    if (s < 0)
        return false;
    ::close(s);
    return true;
}

std::string userName()
{
    const passwd* user = ::getpwuid(::geteuid());
    return user != nullptr ? user->pw_name : "root";
}

}  // namespace

int connectLoopback(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

int freeTcpPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(s);
        throw std::runtime_error("no free TCP port");
    }
    ::close(s);
    return ntohs(address.sin_port);
}

MosquittoBroker::MosquittoBroker(const std::string& user, const std::string& password) : port_(freeTcpPort())
{
    const auto made = runProgram({"/usr/bin/mosquitto_passwd", "-b", "-c", dir_.file("passwords"), user, password});
    if (made.status != 0)
        throw std::runtime_error("mosquitto_passwd: " + made.err);
    std::ofstream(dir_.file("mosquitto.conf"))
        << "per_listener_settings false\n"
        << "listener " << port_ << " 127.0.0.1\n"
        // Started by root it would run as the user mosquitto, who may not
        // read the test's folder; it stays the user who starts it.
        << "user " << userName() << "\n"
        << "allow_anonymous false\n"
        << "password_file " << dir_.file("passwords") << "\n"
        << "persistence true\n"
        << "persistence_location " << dir_.path() << "/\n"
        << "max_queued_messages 0\n"
        << "max_inflight_messages 0\n"
        << "log_dest stderr\n"
        << "log_type error\nlog_type warning\nlog_type notice\n";
}

MosquittoBroker::~MosquittoBroker() { stop(); }

std::string MosquittoBroker::addTlsListener()
{
    const std::string ca = dir_.file("ca.pem");
    const std::string caKey = dir_.file("ca.key");
    const std::string key = dir_.file("server.key");
    const std::string request = dir_.file("server.csr");
    const std::string certificate = dir_.file("server.pem");
    const std::string extensions = dir_.file("server.ext");
    std::ofstream(extensions) << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    const std::vector<std::vector<std::string>> steps = {
        {"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", caKey, "-out", ca, "-days",
         "2", "-subj", "/CN=KL test CA"},
        {"/usr/bin/openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", request, "-subj",
         "/CN=localhost"},
        {"/usr/bin/openssl", "x509", "-req", "-in", request, "-CA", ca, "-CAkey", caKey, "-CAcreateserial", "-out",
         certificate, "-days", "2", "-extfile", extensions},
    };
    for (const auto& step : steps)
        if (runProgram(step).status != 0)
            return {};
    tlsPort_ = freeTcpPort();
    std::ofstream(dir_.file("mosquitto.conf"), std::ios::app)
        << "listener " << tlsPort_ << " 127.0.0.1\n"
        << "cafile " << ca << "\ncertfile " << certificate << "\nkeyfile " << key << "\n";
    return ca;
}

bool MosquittoBroker::start()
{
    stop();
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/sbin/mosquitto", "-c", dir_.file("mosquitto.conf")}, dir_.file("out"),
        dir_.file("log"));
    return waitFor([&] { return accepts(port_) || process_->wait(std::chrono::milliseconds(0)).has_value(); },
                   std::chrono::seconds(10))
        && !process_->wait(std::chrono::milliseconds(0)).has_value();
}

void MosquittoBroker::stop()
{
    if (!process_)
        return;
    process_->signal(SIGTERM);
    process_->wait(std::chrono::seconds(10));
    process_.reset();
}

std::string MosquittoBroker::log() const { return readAll(dir_.file("log")); }

}  // namespace testing_support
