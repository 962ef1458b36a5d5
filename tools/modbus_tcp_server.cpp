#include "modbus_tcp_server.h"

#include <modbus.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace tools {

namespace {

constexpr int kBacklog = 16;
constexpr std::uint8_t kReadInputRegisters = 4;

}  // namespace

ModbusTcpServer::ModbusTcpServer(const RegisterBlocks& blocks) : blocks_(blocks) {}

ModbusTcpServer::~ModbusTcpServer()
{
    stopping_ = true;
    if (wakeWrite_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = ::write(wakeWrite_, &byte, 1);
    }
    if (thread_.joinable())
        thread_.join();
    for (const int client : clients_)
        ::close(client);
    if (listener_ >= 0)
        ::close(listener_);
    if (wakeRead_ >= 0) {
        ::close(wakeRead_);
        ::close(wakeWrite_);
    }
    if (mapping_ != nullptr)
        modbus_mapping_free(mapping_);
    if (context_ != nullptr)
        modbus_free(context_);
}

bool ModbusTcpServer::start(const std::string& host, int port, std::string& error)
{
    const std::string service = std::to_string(port);
    context_ = modbus_new_tcp_pi(host.c_str(), service.c_str());
    mapping_ = modbus_mapping_new(0, 0, 0, RegisterBlocks::kRegisters);
    int fds[2];
    if (context_ == nullptr || mapping_ == nullptr || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "Modbus TCP: " + std::string(modbus_strerror(errno));
        return false;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    modbus_set_byte_timeout(context_, 0, kByteTimeoutMs * 1000);
    modbus_set_indication_timeout(context_, 0, kByteTimeoutMs * 1000);
    listener_ = modbus_tcp_pi_listen(context_, kBacklog);
    if (listener_ < 0) {
        error = "Modbus TCP: не удаётся занять адрес " + host + ":" + service + ": " + modbus_strerror(errno);
        return false;
    }
    ::fcntl(listener_, F_SETFD, FD_CLOEXEC);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    if (::getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &size) == 0)
        port_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    thread_ = std::thread([this] { run(); });
    return true;
}

void ModbusTcpServer::run()
{
    std::vector<pollfd> fds;
    while (!stopping_) {
        fds.assign({{wakeRead_, POLLIN, 0}, {listener_, POLLIN, 0}});
        for (const int client : clients_)
            fds.push_back({client, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            return;
        if ((fds[1].revents & POLLIN) != 0)
            accept();
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0 || stopping_)
                continue;
            if ((fds[i].revents & POLLIN) != 0 && serve(fds[i].fd))
                continue;
            ::close(fds[i].fd);
            clients_.erase(std::find(clients_.begin(), clients_.end(), fds[i].fd));
        }
    }
}

void ModbusTcpServer::accept()
{
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
        return;
    if (static_cast<int>(clients_.size()) >= kMaxClients) {
        ::close(client);
        return;
    }
    const timeval sendTimeout{0, kSendTimeoutMs * 1000};
    ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    clients_.push_back(client);
}

bool ModbusTcpServer::serve(int socket)
{
    std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    modbus_set_socket(context_, socket);
    const int length = modbus_receive(context_, request);
    if (length < 0)
        return false;
    if (length == 0)
        return true;
    const int header = modbus_get_header_length(context_);
    if (request[header] != kReadInputRegisters)
        return modbus_reply_exception(context_, request, MODBUS_EXCEPTION_ILLEGAL_FUNCTION) >= 0;
    blocks_.fill(mapping_->tab_input_registers, std::chrono::steady_clock::now());
    return modbus_reply(context_, request, length, mapping_) >= 0;
}

}  // namespace tools
