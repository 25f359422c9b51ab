#include "main_window/datagram_receiver.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvik {

namespace {

constexpr std::size_t kReadBatch = 64;      // datagrams per recvmmsg
constexpr std::size_t kMaxDatagram = 65536; // larger than any UDP payload
constexpr std::size_t kEntryCost = sizeof(Datagram);

std::int64_t systemSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string bindFailureReason(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return "permission denied";
    case EADDRINUSE:
        return "the port is in use by another program";
    default:
        return std::strerror(error);
    }
}

std::string senderText(const sockaddr_storage &from) {
    char text[INET6_ADDRSTRLEN] = {};
    if (from.ss_family == AF_INET) {
        const auto &v4 = reinterpret_cast<const sockaddr_in &>(from);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    } else if (from.ss_family == AF_INET6) {
        const auto &v6 = reinterpret_cast<const sockaddr_in6 &>(from);
        if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr))
            ::inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text);
        else
            ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    }
    return text;
}

// A socket bound to `port` on every local address: IPv6 with IPv4 mapped
// into it, or IPv4 alone where the system has no IPv6.
int bindSocket(std::uint16_t port, std::string &error) {
    sockaddr_storage any{};
    socklen_t length = sizeof(sockaddr_in6);
    int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        const int no = 0;
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
        auto &v6 = reinterpret_cast<sockaddr_in6 &>(any);
        v6.sin6_family = AF_INET6;
        v6.sin6_addr = in6addr_any;
        v6.sin6_port = htons(port);
    } else if (errno == EAFNOSUPPORT) {
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        auto &v4 = reinterpret_cast<sockaddr_in &>(any);
        v4.sin_family = AF_INET;
        v4.sin_addr.s_addr = htonl(INADDR_ANY);
        v4.sin_port = htons(port);
        length = sizeof v4;
    }
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    if (::bind(fd, reinterpret_cast<sockaddr *>(&any), length) != 0) {
        error = bindFailureReason(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

DatagramReceiver::DatagramReceiver(Config config) : m_config(std::move(config)) {
    if (!m_config.wallClock)
        m_config.wallClock = systemSeconds;
}

DatagramReceiver::~DatagramReceiver() {
    if (m_thread.joinable()) {
        m_stop = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    if (m_wake >= 0)
        ::close(m_wake);
    if (m_socket >= 0)
        ::close(m_socket);
}

std::string DatagramReceiver::start() {
    std::string error;
    m_socket = bindSocket(m_config.port, error);
    if (m_socket < 0)
        return error;
    // Beyond the system's limit only a privileged process may go; ask for it
    // and keep what is granted otherwise.
    const int size = m_config.receiveBuffer;
    ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    ::setsockopt(m_socket, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&bound), &length);
    m_boundPort =
        ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 &>(bound).sin6_port
                                          : reinterpret_cast<sockaddr_in &>(bound).sin_port);
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        error = std::strerror(errno);
        ::close(m_socket);
        m_socket = -1;
        return error;
    }
    m_thread = std::thread([this] { run(); });
    return {};
}

void DatagramReceiver::run() {
    // Pages of the read buffers that no datagram reaches are never touched.
    std::vector<char> buffers(kReadBatch * kMaxDatagram);
    std::array<pollfd, 2> waits{{{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}}};
    while (!m_stop) {
        if (::poll(waits.data(), waits.size(), -1) < 0 && errno != EINTR)
            break;
        if (waits[0].revents & POLLIN)
            drain(buffers);
    }
}

// Reads until nothing waits, then learns how many the system dropped.
void DatagramReceiver::drain(std::vector<char> &buffers) {
    std::array<mmsghdr, kReadBatch> messages{};
    std::array<iovec, kReadBatch> vectors{};
    std::array<sockaddr_storage, kReadBatch> senders{};
    std::vector<Datagram> batch;
    for (;;) {
        for (std::size_t i = 0; i < kReadBatch; ++i) {
            vectors[i] = {buffers.data() + i * kMaxDatagram, kMaxDatagram};
            messages[i].msg_hdr = {};
            messages[i].msg_hdr.msg_iov = &vectors[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_name = &senders[i];
            messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        }
        const int n = ::recvmmsg(m_socket, messages.data(), kReadBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0)
            break;
        const std::int64_t now = m_config.wallClock();
        for (int i = 0; i < n; ++i) {
            const std::string_view bytes(buffers.data() + std::size_t(i) * kMaxDatagram,
                                         messages[std::size_t(i)].msg_len);
            if (m_config.responder)
                if (const auto answer = m_config.responder(bytes))
                    ::sendto(m_socket, answer->data(), answer->size(), MSG_DONTWAIT,
                             reinterpret_cast<sockaddr *>(&senders[std::size_t(i)]),
                             messages[std::size_t(i)].msg_hdr.msg_namelen);
            batch.push_back({std::string(bytes), senderText(senders[std::size_t(i)]), now});
        }
        // The system's drops are learnt before the last read of a drain is
        // queued, so the window finds the count complete with that batch.
        const bool last = std::size_t(n) < kReadBatch;
        if (last)
            readSystemDrops();
        enqueue(batch);
        if (last)
            return;
    }
    if (readSystemDrops())
        announce(); // a changed count alone is news for the window too
}

bool DatagramReceiver::readSystemDrops() {
    std::array<std::uint32_t, SK_MEMINFO_VARS> info{};
    socklen_t length = sizeof info;
    if (::getsockopt(m_socket, SOL_SOCKET, SO_MEMINFO, info.data(), &length) != 0 ||
        length <= SK_MEMINFO_DROPS * sizeof(std::uint32_t))
        return false;
    return m_systemDrops.exchange(info[SK_MEMINFO_DROPS]) != info[SK_MEMINFO_DROPS];
}

void DatagramReceiver::announce() {
    if (m_config.arrived && !m_announced.exchange(true))
        m_config.arrived();
}

void DatagramReceiver::enqueue(std::vector<Datagram> &batch) {
    {
        const std::lock_guard lock(m_mutex);
        for (Datagram &datagram : batch) {
            const std::size_t cost = kEntryCost + datagram.bytes.capacity();
            if (m_queue.size() >= m_config.maxDatagrams ||
                m_queuedBytes + cost > m_config.maxBytes) {
                ++m_queueDrops;
                continue;
            }
            m_queuedBytes += cost;
            m_queue.push_back(std::move(datagram));
        }
    }
    m_read += batch.size();
    batch.clear();
    announce();
}

std::vector<Datagram> DatagramReceiver::take() {
    std::vector<Datagram> taken;
    // Cleared first: datagrams queued after the swap below are announced again.
    m_announced = false;
    {
        const std::lock_guard lock(m_mutex);
        taken.swap(m_queue);
        m_queuedBytes = 0;
    }
    return taken;
}

} // namespace quorvik
