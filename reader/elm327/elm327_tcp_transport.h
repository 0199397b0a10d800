// An ELM327 adapter over TCP: the Wi-Fi adapters (usually 192.168.0.10 port 35000).
#pragma once

#include <cstdint>
#include <string>

#include "reader/elm327/elm327_transport.h"

namespace vx414::elm327 {

class TcpTransport final : public Transport {
public:
    TcpTransport(std::string host, std::uint16_t port);
    ~TcpTransport() override;
    TcpTransport(const TcpTransport&) = delete;
    TcpTransport& operator=(const TcpTransport&) = delete;

    // Resolves the host and connects, both bounded by `deadline`: a refused connection or
    // a host that does not resolve is NoDevice, a connection still pending at the
    // deadline is Timeout.
    LinkStatus open(Deadline deadline) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    // A peer that has closed the connection is Io.
    LinkStatus write(std::string_view bytes, Deadline deadline) override;
    LinkStatus read(std::string& into, std::size_t max, Deadline deadline) override;
    void discardInput() override;

private:
    std::string host_;
    std::uint16_t port_;
    int fd_ = -1;
};

}  // namespace vx414::elm327
