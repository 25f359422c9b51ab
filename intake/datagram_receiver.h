// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/event.h"

namespace quorvik {

// The UDP socket and a thread of its own that drains it, so that the kernel's
// buffer is emptied even while the window thread is busy (painting, a long
// history load, a message box). The thread reads with recvmmsg into a bounded
// queue in arrival order and stamps each read with the wall clock; the window
// thread takes everything queued in one go. A full queue drops and counts,
// it never holds up the thread. Plain C++ and POSIX: no Qt.
//
// The thread asks for a real-time or raised priority where the process may
// have one, so that a burst is read before the system's buffer overflows.
// Under light traffic it lets a moment pass between reads, so that one
// wake-up reads several datagrams instead of one each.
class DatagramReceiver {
public:
    // Answers a datagram, or not: an SNMP inform gets its Response this way,
    // sent back to the sender from the listening socket. It runs on the
    // receiver thread, before the datagram is queued, so it must be safe to
    // call from there (a pure function of the datagram is).
    using Responder = std::function<std::optional<std::string>(std::string_view datagram)>;

    struct Config {
        std::uint16_t port = 162;
        int receiveBuffer = 16 * 1024 * 1024; // asked of the system
        std::size_t maxDatagrams = 1'000'000; // the queue's bounds
        std::size_t maxBytes = std::size_t(256) * 1024 * 1024;
        std::function<std::int64_t()> wallClock; // empty: the system clock
        Responder responder;                     // empty: nothing is answered
        // Whether an answered datagram repeats one its sender (address and
        // port) had answered before (an inform sent again because our
        // Response was lost): it is answered again but not queued. Runs on
        // the receiver thread, like the responder.
        std::function<bool(std::string_view datagram, std::string_view sender, std::uint16_t port)>
            answeredBefore;
        // Called on the receiver thread when datagrams wait (or the lost count
        // changed) and the previous call has been followed by a take() that
        // found the queue empty; the window schedules its takes until then.
        std::function<void()> arrived;
    };

    explicit DatagramReceiver(Config config);
    ~DatagramReceiver(); // stops the thread, closes the socket
    DatagramReceiver(const DatagramReceiver &) = delete;
    DatagramReceiver &operator=(const DatagramReceiver &) = delete;

    // Binds all local addresses (IPv6 and IPv4) and starts the thread. On
    // failure returns why ("permission denied", ...), and nothing runs.
    std::string start();
    // The port bound (useful when the configured one is 0).
    std::uint16_t port() const { return m_boundPort; }

    // Everything queued, oldest first. `spent` is an emptied vector handed
    // back, so that its memory is reused for the next datagrams.
    std::vector<RawMessage> take(std::vector<RawMessage> spent = {});

    // Datagrams lost since start: dropped by the system before they were read
    // (its buffer was full) and dropped by the full queue.
    std::uint64_t lost() const { return m_systemDrops.load() + m_queueDrops.load(); }
    // Datagrams read from the socket since start, queued or dropped.
    std::uint64_t readCount() const { return m_read.load(); }

private:
    struct Reading; // the thread's read buffers

    void run();
    std::size_t drain(Reading &reading); // datagrams read
    bool pause(int microseconds);        // false when the thread is to stop
    bool readSystemDrops();              // true when the count changed
    void enqueue(std::vector<RawMessage> &batch, bool dropsChanged);

    Config m_config;
    int m_socket = -1;
    int m_wake = -1; // eventfd that ends the thread's wait on stop
    std::uint16_t m_boundPort = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_systemDrops{0}, m_queueDrops{0}, m_read{0};
    int m_pauseMicroseconds = 0; // between reads under light traffic

    std::mutex m_mutex; // guards the queue and m_announced
    std::vector<RawMessage> m_queue;
    std::size_t m_queuedBytes = 0;
    bool m_announced = false; // arrived() called, no empty take since
};

} // namespace quorvik
