#include "reader/elm327/elm327_tcp_transport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "reader/elm327/elm327_io_wait.h"

namespace vx414::elm327 {
namespace {

struct AddressListDeleter {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};
using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

// A name lookup that may outlive the wait for it: glibc's asynchronous getaddrinfo_a runs
// it on a helper thread of its own and writes into this block when it ends, so a block
// whose lookup could not be cancelled is kept here until that has happened.
struct Lookup {
    std::string host;
    std::string service;
    addrinfo hints{};
    gaicb request{};
};

std::mutex& abandonedMutex() {
    static std::mutex mutex;
    return mutex;
}
std::vector<std::unique_ptr<Lookup>>& abandoned() {
    static std::vector<std::unique_ptr<Lookup>> lookups;
    return lookups;
}

// Frees the abandoned lookups that have ended since.
void reapAbandoned() {
    const std::lock_guard lock(abandonedMutex());
    auto& lookups = abandoned();
    for (auto it = lookups.begin(); it != lookups.end();) {
        if (::gai_error(&(*it)->request) != EAI_INPROGRESS) {
            if ((*it)->request.ar_result != nullptr) ::freeaddrinfo((*it)->request.ar_result);
            it = lookups.erase(it);
        } else {
            ++it;
        }
    }
}

// A numeric address (127.0.0.1, 192.168.0.10, ::1) is converted at once. A name goes
// through getaddrinfo_a, waited for no longer than the deadline: plain getaddrinfo can
// block for the resolver's own timeouts (several seconds per server), far past our bound,
// and cannot be interrupted.
LinkStatus resolve(const std::string& host, std::uint16_t port, Deadline deadline, AddressList& out) {
    const std::string service = std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) == 0) {
        out.reset(list);
        return LinkStatus::ok();
    }

    reapAbandoned();
    auto lookup = std::make_unique<Lookup>();
    lookup->host = host;
    lookup->service = service;
    lookup->hints.ai_family = AF_UNSPEC;
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->hints.ai_flags = AI_NUMERICSERV;
    lookup->request.ar_name = lookup->host.c_str();
    lookup->request.ar_service = lookup->service.c_str();
    lookup->request.ar_request = &lookup->hints;
    gaicb* requests[] = {&lookup->request};
    sigevent notify{};
    notify.sigev_notify = SIGEV_NONE;
    if (::getaddrinfo_a(GAI_NOWAIT, requests, 1, &notify) != 0) return {LinkCode::NoDevice, "cannot look the host up"};

    while (::gai_error(&lookup->request) == EAI_INPROGRESS) {
        const int ms = millisecondsLeft(deadline);
        if (ms == 0) break;
        const timespec wait{ms / 1000, static_cast<long>(ms % 1000) * 1'000'000L};
        const gaicb* const waitOn[] = {&lookup->request};
        ::gai_suspend(waitOn, 1, &wait);
    }
    const int outcome = ::gai_error(&lookup->request);
    if (outcome == EAI_INPROGRESS) {
        if (::gai_cancel(&lookup->request) != EAI_CANCELED) {
            const std::lock_guard lock(abandonedMutex());
            abandoned().push_back(std::move(lookup));
        }
        return {LinkCode::Timeout, "the host name did not resolve in time"};
    }
    if (outcome != 0) {
        if (lookup->request.ar_result != nullptr) ::freeaddrinfo(lookup->request.ar_result);
        return {LinkCode::NoDevice, "unknown host"};
    }
    out.reset(lookup->request.ar_result);
    return LinkStatus::ok();
}

// One connection attempt to one address, bounded by the deadline.
LinkStatus connectTo(const addrinfo& address, Deadline deadline, int& fd) {
    const int s = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (s < 0) return {LinkCode::NoDevice, "cannot make a socket"};
    if (::connect(s, address.ai_addr, address.ai_addrlen) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            const int error = errno;
            ::close(s);
            return {LinkCode::NoDevice,
                    error == ECONNREFUSED ? "connection refused" : "cannot connect"};
        }
        const short ready = waitFor(s, POLLOUT, deadline);
        if (ready == 0) {
            ::close(s);
            return {LinkCode::Timeout, "the connection did not complete in time"};
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        if (error != 0) {
            ::close(s);
            return {LinkCode::NoDevice, error == ECONNREFUSED ? "connection refused" : "cannot connect"};
        }
    }
    // Commands are a few bytes each and wait for their answer: send them at once.
    const int on = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    fd = s;
    return LinkStatus::ok();
}

}  // namespace

TcpTransport::TcpTransport(std::string host, std::uint16_t port) : host_(std::move(host)), port_(port) {}

TcpTransport::~TcpTransport() { close(); }

LinkStatus TcpTransport::open(Deadline deadline) {
    if (isOpen()) return LinkStatus::ok();
    AddressList addresses;
    if (const LinkStatus found = resolve(host_, port_, deadline, addresses); !found.isOk()) return found;
    LinkStatus last(LinkCode::NoDevice, "the host has no address");
    for (const addrinfo* a = addresses.get(); a != nullptr; a = a->ai_next) {
        last = connectTo(*a, deadline, fd_);
        if (last.isOk() || last.code() == LinkCode::Timeout) return last;
    }
    return last;
}

void TcpTransport::close() {
    if (!isOpen()) return;
    ::close(fd_);
    fd_ = -1;
}

LinkStatus TcpTransport::write(std::string_view bytes, Deadline deadline) {
    if (!isOpen()) return {LinkCode::Io, "not connected"};
    std::size_t done = 0;
    while (done < bytes.size()) {
        // MSG_NOSIGNAL: a peer that has gone away is an Io status, not SIGPIPE.
        const ssize_t put = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return {LinkCode::Io, "the connection failed"};
        }
        const short ready = waitFor(fd_, POLLOUT, deadline);
        if (ready == 0 || Clock::now() >= deadline) return {LinkCode::Timeout, "the connection took no more bytes"};
        if ((ready & POLLOUT) == 0) return {LinkCode::Io, "the connection failed"};
    }
    return LinkStatus::ok();
}

LinkStatus TcpTransport::read(std::string& into, std::size_t max, Deadline deadline) {
    if (!isOpen()) return {LinkCode::Io, "not connected"};
    if (max == 0) return LinkStatus::ok();
    char buffer[512];
    for (;;) {
        const std::size_t want = max < sizeof buffer ? max : sizeof buffer;
        const ssize_t got = ::recv(fd_, buffer, want, 0);
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
            return LinkStatus::ok();
        }
        if (got == 0) return {LinkCode::Io, "the adapter closed the connection"};
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return {LinkCode::Io, "the connection failed"};
        if (waitFor(fd_, POLLIN, deadline) == 0 || Clock::now() >= deadline) return LinkStatus::ok();
    }
}

void TcpTransport::discardInput() {
    if (!isOpen()) return;
    // A whole answer's worth at most: more is not left over from an earlier answer but a
    // line that keeps talking, which the next read reports.
    char buffer[512];
    for (std::size_t dropped = 0; dropped < 64 * 1024; dropped += sizeof buffer) {
        if (::recv(fd_, buffer, sizeof buffer, 0) <= 0) break;
    }
}

}  // namespace vx414::elm327
