// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "intake/datagram_receiver.h"

#include "core/text_rules.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvik {

namespace {

constexpr std::size_t kReadBatch = 128;     // datagrams per recvmmsg
constexpr std::size_t kMaxDatagram = 65536; // larger than any UDP payload
constexpr std::size_t kEntryCost = sizeof(RawMessage);

// The pause between reads under light traffic is at most a quarter of the
// time in which a sender at loopback's full speed (a small datagram every
// 4 us, each taking about 1 KiB of the buffer: 832 bytes measured for 90
// bytes on loopback) fills the system's buffer,
// and at most 4 ms, well within the window's take interval: a burst that
// begins during a pause still fits.
constexpr int kMaxPauseMicroseconds = 4000;
constexpr int kFastestArrivalMicroseconds = 4;
constexpr int kBufferPerDatagram = 1024;
// The system's drop counter is read at least this often while reads go on.
constexpr auto kDropsInterval = std::chrono::milliseconds(10);
// A priority that preempts ordinary work, the lowest real-time one; where
// the process may not have it, this much lower a nice value.
constexpr int kRealTimePriority = 1;
constexpr int kNiceRaise = 10;

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
        return errorText(error);
    }
}

// The sender's port, in host order.
std::uint16_t senderPort(const sockaddr_storage &from) {
    if (from.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(from).sin_port);
    if (from.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(from).sin6_port);
    return 0;
}

// The sender's address as text, kept for the last address seen: traffic
// comes from few senders, and inet_ntop formats through sprintf.
class SenderTexts {
public:
    const std::string &text(const sockaddr_storage &from) {
        std::array<unsigned char, 17> key{};
        key[0] = static_cast<unsigned char>(from.ss_family);
        if (from.ss_family == AF_INET)
            std::memcpy(&key[1], &reinterpret_cast<const sockaddr_in &>(from).sin_addr, 4);
        else if (from.ss_family == AF_INET6)
            std::memcpy(&key[1], &reinterpret_cast<const sockaddr_in6 &>(from).sin6_addr, 16);
        if (key != m_key || !m_valid) {
            m_key = key;
            m_valid = true;
            m_text = format(from);
        }
        return m_text;
    }

private:
    static std::string format(const sockaddr_storage &from) {
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

    std::array<unsigned char, 17> m_key{};
    bool m_valid = false;
    std::string m_text;
};

// Real-time scheduling where the process may have it, else a lower nice
// value where its limits allow; otherwise the thread keeps what it has.
void raisePriority() {
    sched_param param{};
    param.sched_priority = kRealTimePriority;
    if (::pthread_setschedparam(::pthread_self(), SCHED_FIFO, &param) == 0)
        return;
    const auto self = static_cast<id_t>(::gettid());
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, self, std::max(-20, nice - kNiceRaise));
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
        error = errorText(errno);
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
        error = errorText(errno);
        ::close(m_socket);
        m_socket = -1;
        return error;
    }
    m_thread = std::thread([this] { run(); });
    return {};
}

struct DatagramReceiver::Reading {
    // Left uninitialised: pages of the read buffers that no datagram
    // reaches are never touched.
    std::unique_ptr<char[]> buffers{new char[kReadBatch * kMaxDatagram]};
    std::array<mmsghdr, kReadBatch> messages{};
    std::array<iovec, kReadBatch> vectors{};
    std::array<sockaddr_storage, kReadBatch> senders{};
    SenderTexts senderTexts;
    std::vector<RawMessage> batch;
    std::chrono::steady_clock::time_point dropsRead;
};

void DatagramReceiver::run() {
    ::pthread_setname_np(::pthread_self(), "udp receiver");
    raisePriority();
    int buffer = 0;
    socklen_t length = sizeof buffer;
    ::getsockopt(m_socket, SOL_SOCKET, SO_RCVBUF, &buffer, &length);
    m_pauseMicroseconds = std::clamp(buffer / kBufferPerDatagram * kFastestArrivalMicroseconds / 4,
                                     0, kMaxPauseMicroseconds);

    Reading reading;
    reading.batch.reserve(kReadBatch);
    std::array<pollfd, 2> waits{{{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}}};
    while (!m_stop) {
        if (::poll(waits.data(), waits.size(), -1) < 0 && errno != EINTR)
            break;
        if (waits[0].revents == 0)
            continue;
        // Whatever the system saw first is read at once; while more comes,
        // each read waits a moment for the next ones.
        while (drain(reading) > 0 && pause(m_pauseMicroseconds)) {
        }
    }
}

// Reads until nothing waits.
std::size_t DatagramReceiver::drain(Reading &reading) {
    std::size_t total = 0;
    for (;;) {
        for (std::size_t i = 0; i < kReadBatch; ++i) {
            reading.vectors[i] = {reading.buffers.get() + i * kMaxDatagram, kMaxDatagram};
            reading.messages[i].msg_hdr = {};
            reading.messages[i].msg_hdr.msg_iov = &reading.vectors[i];
            reading.messages[i].msg_hdr.msg_iovlen = 1;
            reading.messages[i].msg_hdr.msg_name = &reading.senders[i];
            reading.messages[i].msg_hdr.msg_namelen = sizeof reading.senders[i];
        }
        // An error (a pending one of the socket's, say) ends the drain and
        // is consumed by the read, so the next wait does not return at once.
        const int n =
            ::recvmmsg(m_socket, reading.messages.data(), kReadBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0) {
            if (readSystemDrops())
                enqueue(reading.batch, true); // a changed count alone is news
            return total;
        }
        const std::int64_t now = m_config.wallClock();
        for (std::size_t i = 0; i < std::size_t(n); ++i) {
            const mmsghdr &message = reading.messages[i];
            const std::string_view bytes(reading.buffers.get() + i * kMaxDatagram, message.msg_len);
            std::string sender = reading.senderTexts.text(reading.senders[i]);
            const std::uint16_t port = senderPort(reading.senders[i]);
            if (m_config.responder)
                if (const auto answer = m_config.responder(bytes)) {
                    ::sendto(m_socket, answer->data(), answer->size(), MSG_DONTWAIT,
                             reinterpret_cast<sockaddr *>(&reading.senders[i]),
                             message.msg_hdr.msg_namelen);
                    if (m_config.answeredBefore && m_config.answeredBefore(bytes, sender, port))
                        continue; // acknowledged again, shown once
                }
            reading.batch.push_back({std::string(bytes), std::move(sender), now, port});
        }
        total += std::size_t(n);
        // The system's drops are learnt before the last read of a drain is
        // queued, so the window finds the count complete with that batch;
        // during a long drain now and then.
        const bool last = std::size_t(n) < kReadBatch;
        const auto clock = std::chrono::steady_clock::now();
        bool dropsChanged = false;
        if (last || clock - reading.dropsRead >= kDropsInterval) {
            reading.dropsRead = clock;
            dropsChanged = readSystemDrops();
        }
        enqueue(reading.batch, dropsChanged);
        if (last)
            return total;
    }
}

// Waits `microseconds`, or less when the thread is to stop.
bool DatagramReceiver::pause(int microseconds) {
    pollfd wake{m_wake, POLLIN, 0};
    const timespec wait{0, long(microseconds) * 1000};
    ::ppoll(&wake, 1, &wait, nullptr);
    return !m_stop;
}

bool DatagramReceiver::readSystemDrops() {
    std::array<std::uint32_t, SK_MEMINFO_VARS> info{};
    socklen_t length = sizeof info;
    if (::getsockopt(m_socket, SOL_SOCKET, SO_MEMINFO, info.data(), &length) != 0 ||
        length <= SK_MEMINFO_DROPS * sizeof(std::uint32_t))
        return false;
    return m_systemDrops.exchange(info[SK_MEMINFO_DROPS]) != info[SK_MEMINFO_DROPS];
}

void DatagramReceiver::enqueue(std::vector<RawMessage> &batch, bool dropsChanged) {
    bool announce = false;
    {
        const std::lock_guard lock(m_mutex);
        for (RawMessage &datagram : batch) {
            const std::size_t cost = kEntryCost + datagram.bytes.capacity();
            if (m_queue.size() >= m_config.maxDatagrams ||
                m_queuedBytes + cost > m_config.maxBytes) {
                ++m_queueDrops;
                dropsChanged = true;
                continue;
            }
            m_queuedBytes += cost;
            m_queue.push_back(std::move(datagram));
        }
        if ((dropsChanged || !m_queue.empty()) && !m_announced)
            announce = m_announced = true;
    }
    if (announce && m_config.arrived)
        m_config.arrived();
    m_read += batch.size(); // last: a reader of the count sees the announcement made
    batch.clear();
}

std::vector<RawMessage> DatagramReceiver::take(std::vector<RawMessage> spent) {
    spent.clear();
    {
        const std::lock_guard lock(m_mutex);
        spent.swap(m_queue);
        m_queuedBytes = 0;
        // An empty take ends the window's takes: the next datagram (or a
        // changed lost count) is announced again.
        if (spent.empty())
            m_announced = false;
    }
    return spent;
}

} // namespace quorvik
