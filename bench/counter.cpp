// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_counter: the least a receiver can do, counting the datagrams that
// reach a loopback UDP port; the machine's limit for the intake benchmark.
//
//   bench_counter --port P --status FILE [--seconds S] [--rcvbuf BYTES]
//
// Binds 127.0.0.1:P, asks for a receive buffer of BYTES (16 MiB by default,
// forced where the process may), and rewrites FILE with the running count
// ten times a second. Ends by itself after S seconds (default 600), or on
// SIGTERM / SIGINT, printing the final count.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onStop(int) {
    stopRequested = 1;
}

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void writeStatus(const std::string &path, long long count) {
    const std::string temporary = path + ".tmp";
    std::FILE *f = std::fopen(temporary.c_str(), "w");
    if (!f)
        return;
    std::fprintf(f, "%lld\n", count);
    if (std::fclose(f) == 0)
        std::rename(temporary.c_str(), path.c_str());
}

} // namespace

int main(int argc, char **argv) {
    int port = 0;
    std::string status;
    double limit = 600;
    int rcvbuf = 16 * 1024 * 1024;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view key = argv[i];
        if (key == "--port")
            port = std::atoi(argv[i + 1]);
        else if (key == "--status")
            status = argv[i + 1];
        else if (key == "--seconds")
            limit = std::atof(argv[i + 1]);
        else if (key == "--rcvbuf")
            rcvbuf = std::atoi(argv[i + 1]);
    }
    if (port <= 0 || port > 65535 || status.empty() || limit <= 0) {
        std::fprintf(stderr, "usage: bench_counter --port P --status FILE [--seconds S] "
                             "[--rcvbuf BYTES]\n");
        return 2;
    }

    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        std::perror("socket");
        return 1;
    }
    if (rcvbuf > 0 && ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &rcvbuf, sizeof rcvbuf) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    timeval timeout{0, 100000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0) {
        std::perror("bind");
        return 1;
    }

    constexpr unsigned kBatch = 64;
    static char buffers[kBatch][2048];
    iovec vectors[kBatch];
    mmsghdr messages[kBatch];
    for (unsigned i = 0; i < kBatch; ++i) {
        vectors[i] = {buffers[i], sizeof buffers[i]};
        std::memset(&messages[i], 0, sizeof messages[i]);
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }

    long long count = 0, reported = -1;
    const double start = now();
    double lastStatus = 0;
    writeStatus(status, 0);
    while (!stopRequested && now() - start < limit) {
        const int got = ::recvmmsg(fd, messages, kBatch, 0, nullptr);
        if (got > 0)
            count += got;
        const double t = now();
        if (count != reported && t - lastStatus >= 0.1) {
            writeStatus(status, count);
            reported = count;
            lastStatus = t;
        }
    }
    writeStatus(status, count);
    ::close(fd);
    std::printf("received=%lld\n", count);
    return 0;
}
