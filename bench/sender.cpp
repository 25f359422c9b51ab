// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_sender: sends datagrams to a loopback UDP port, paced at a given
// rate or at full speed, for the intake benchmark.
//
//   bench_sender --port P --count N [--rate R] [--kind text|trap|linkdown|syslog]
//                [--levels EPCAWIN] [--first K] [--max-seconds S] [--replay FILE]
//
// --rate 0 (the default) sends at full speed. Text datagrams are tagged
// event messages whose level letters cycle through --levels; trap datagrams
// are SNMPv2c coldStart traps that carry sysDescr.0 (sysUpTime.0,
// snmpTrapOID.0, sysDescr.0); linkdown datagrams are SNMPv2c IF-MIB linkDown
// traps without sysDescr (sysUpTime.0, snmpTrapOID.0, ifIndex.2,
// ifAdminStatus.2, ifOperStatus.2), which a receiver must decode; syslog
// datagrams are RFC 5424 messages whose severities cycle through 0 to 7
// (`<134>1 2026-12-10T08:00:00.123+01:00 srv7 backup 1234 ID47 - quota
// reached #n`, facility local0). RawMessage i
// carries the number --first + (i mod 65536) in its message and request id,
// so that its length varies a little like real traffic. The target is
// always 127.0.0.1. --replay sends the datagrams of FILE (each a 2-byte
// big-endian length, then its bytes) in turn instead, e.g. SNMPv3 traps that
// net-snmp's snmptrap encrypted. Prints one line: "sent=N errors=E
// seconds=T rate=R".

#include "options.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

enum class Kind { Text, Trap, LinkDown, Syslog };

struct Options {
    int port = 0;
    long long count = 0;
    double rate = 0;
    Kind kind = Kind::Text;
    std::string levels = "EPCAWIN";
    long long first = 0;
    double maxSeconds = 120;
    std::string replay;
};

[[noreturn]] void usage(const char *why) {
    std::fprintf(stderr,
                 "bench_sender: %s\nusage: bench_sender --port P --count N [--rate R] "
                 "[--kind text|trap|linkdown|syslog] [--levels EPCAWIN] [--first K] [--max-seconds S] "
                 "[--replay FILE]\n",
                 why);
    std::exit(2);
}

Kind kindNamed(std::string_view kind) {
    if (kind == "text")
        return Kind::Text;
    if (kind == "trap")
        return Kind::Trap;
    if (kind == "linkdown")
        return Kind::LinkDown;
    if (kind == "syslog")
        return Kind::Syslog;
    usage("unknown kind");
}

Options parse(int argc, char **argv) {
    Options o;
    takeOptions(argc, argv, usage, [&o](std::string_view key, const char *value) {
        if (key == "--port")
            o.port = std::atoi(value);
        else if (key == "--count")
            o.count = std::atoll(value);
        else if (key == "--rate")
            o.rate = std::atof(value);
        else if (key == "--kind")
            o.kind = kindNamed(value);
        else if (key == "--levels")
            o.levels = value;
        else if (key == "--first")
            o.first = std::atoll(value);
        else if (key == "--max-seconds")
            o.maxSeconds = std::atof(value);
        else if (key == "--replay")
            o.replay = value;
        else
            return false;
        return true;
    });
    if (o.port <= 0 || o.port > 65535 || o.count <= 0 || o.rate < 0 || o.levels.empty() ||
        o.maxSeconds <= 0)
        usage("bad arguments");
    return o;
}

double seconds(const timespec &t) {
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return seconds(t);
}

void sleepUntil(double when) {
    timespec t{};
    t.tv_sec = time_t(when);
    t.tv_nsec = long((when - double(t.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

// --- BER encoding of an SNMPv2c trap ---------------------------------------

void appendLength(Bytes &out, std::size_t length) {
    if (length < 0x80) {
        out.push_back(static_cast<unsigned char>(length));
        return;
    }
    unsigned char digits[sizeof(std::size_t)];
    int n = 0;
    for (std::size_t v = length; v != 0; v >>= 8)
        digits[n++] = static_cast<unsigned char>(v & 0xFF);
    out.push_back(static_cast<unsigned char>(0x80 | n));
    while (n > 0)
        out.push_back(digits[--n]);
}

Bytes tlv(unsigned char tag, const Bytes &value) {
    Bytes out{tag};
    appendLength(out, value.size());
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Two's-complement integer content, shortest form.
Bytes integerContent(long long value) {
    Bytes out;
    for (int shift = 56; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(
            (static_cast<unsigned long long>(value) >> unsigned(shift)) & 0xFF));
    while (out.size() > 1 &&
           ((out[0] == 0x00 && !(out[1] & 0x80)) || (out[0] == 0xFF && (out[1] & 0x80))))
        out.erase(out.begin());
    return out;
}

// Unsigned content (TimeTicks): a leading zero keeps the top bit clear.
Bytes unsignedContent(std::uint32_t value) {
    Bytes out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>((value >> unsigned(shift)) & 0xFF));
    while (out.size() > 1 && out[0] == 0x00 && !(out[1] & 0x80))
        out.erase(out.begin());
    if (out[0] & 0x80)
        out.insert(out.begin(), 0x00);
    return out;
}

Bytes oidContent(std::initializer_list<unsigned> arcs) {
    Bytes out;
    auto it = arcs.begin();
    const unsigned a = *it++;
    const unsigned b = *it++;
    out.push_back(static_cast<unsigned char>(a * 40 + b));
    for (; it != arcs.end(); ++it) {
        unsigned char digits[5];
        int n = 0;
        unsigned v = *it;
        do {
            digits[n++] = static_cast<unsigned char>(v & 0x7F);
            v >>= 7;
        } while (v != 0);
        while (n > 0) {
            --n;
            out.push_back(static_cast<unsigned char>(digits[n] | (n > 0 ? 0x80 : 0x00)));
        }
    }
    return out;
}

Bytes text(const std::string &s) {
    return Bytes(s.begin(), s.end());
}

Bytes binding(const Bytes &oid, const Bytes &value) {
    return tlv(0x30, concat({oid, value}));
}

// An SNMPv2c Trap-PDU with community "public" around `bindings`.
Bytes snmpV2cMessage(long long sequence, const Bytes &bindings) {
    const Bytes pdu =
        tlv(0xA7, concat({tlv(0x02, integerContent(sequence & 0x7FFFFFFF)),
                          tlv(0x02, integerContent(0)), tlv(0x02, integerContent(0)), bindings}));
    return tlv(0x30, concat({tlv(0x02, integerContent(1)), tlv(0x04, text("public")), pdu}));
}

Bytes sysUpTimeBinding(long long sequence) {
    return binding(tlv(0x06, oidContent({1, 3, 6, 1, 2, 1, 1, 3, 0})),
                   tlv(0x43, unsignedContent(std::uint32_t(sequence & 0xFFFFFFFF))));
}

const Bytes &trapOidName() {
    static const Bytes oid = tlv(0x06, oidContent({1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0}));
    return oid;
}

Bytes snmpV2cTrap(long long sequence) {
    const Bytes sysDescr = tlv(0x06, oidContent({1, 3, 6, 1, 2, 1, 1, 1, 0}));
    const Bytes coldStart = tlv(0x06, oidContent({1, 3, 6, 1, 6, 3, 1, 1, 5, 1}));
    const std::string descr = "bench trap " + std::to_string(sequence) + " disk quota reached";
    return snmpV2cMessage(
        sequence, tlv(0x30, concat({sysUpTimeBinding(sequence), binding(trapOidName(), coldStart),
                                    binding(sysDescr, tlv(0x04, text(descr)))})));
}

// IF-MIB::linkDown for interface 2 (administratively up, operationally down).
Bytes linkDownTrap(long long sequence) {
    const Bytes linkDown = tlv(0x06, oidContent({1, 3, 6, 1, 6, 3, 1, 1, 5, 3}));
    const auto ifEntryColumn = [](unsigned column, long long value) {
        return binding(tlv(0x06, oidContent({1, 3, 6, 1, 2, 1, 2, 2, 1, column, 2})),
                       tlv(0x02, integerContent(value)));
    };
    return snmpV2cMessage(
        sequence,
        tlv(0x30, concat({sysUpTimeBinding(sequence), binding(trapOidName(), linkDown),
                          ifEntryColumn(1, 2), ifEntryColumn(7, 1), ifEntryColumn(8, 2)})));
}

Bytes taggedText(long long sequence, char level) {
    const std::string s = std::string("trapo$LEVL$:") + level +
                          "$HOST$:srv7$SOURCE$:backup$DEVC$:disk_2$MSG$:quota reached #" +
                          std::to_string(sequence);
    return text(s);
}

Bytes syslogMessage(long long sequence, long long index) {
    const int priority = 16 * 8 + int(index % 8); // local0, severities 0..7
    return text("<" + std::to_string(priority) +
                ">1 2026-12-10T08:00:00.123+01:00 srv7 backup 1234 ID47 - quota reached #" +
                std::to_string(sequence));
}

Bytes datagram(const Options &o, long long sequence, long long index) {
    switch (o.kind) {
    case Kind::Syslog:
        return syslogMessage(sequence, index);
    case Kind::Trap:
        return snmpV2cTrap(sequence);
    case Kind::LinkDown:
        return linkDownTrap(sequence);
    case Kind::Text:
        break;
    }
    return taggedText(sequence, o.levels[std::size_t(index) % o.levels.size()]);
}

// The datagrams of a replay file; exits when it can't be read.
std::vector<Bytes> readReplay(const std::string &path) {
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::vector<Bytes> datagrams;
    unsigned char length[2];
    while (std::fread(length, 1, 2, file) == 2) {
        const std::size_t size = std::size_t(length[0]) << 8 | length[1];
        Bytes d(size);
        if (std::fread(d.data(), 1, d.size(), file) != d.size())
            break;
        datagrams.push_back(std::move(d));
    }
    std::fclose(file);
    if (datagrams.empty()) {
        std::fprintf(stderr, "bench_sender: no datagrams in %s\n", path.c_str());
        std::exit(1);
    }
    return datagrams;
}

} // namespace

int main(int argc, char **argv) {
    const Options o = parse(argc, argv);
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        std::perror("socket");
        return 1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(o.port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0) {
        std::perror("connect");
        return 1;
    }

    // The datagrams are built before the clock starts, so that building
    // doesn't count against the rate; the ring repeats for larger counts.
    std::vector<Bytes> datagrams;
    if (!o.replay.empty())
        datagrams = readReplay(o.replay);
    else
        for (long long i = 0; i < std::min<long long>(o.count, 1 << 16); ++i)
            datagrams.push_back(datagram(o, o.first + i, i));
    const auto prebuilt = static_cast<long long>(datagrams.size());

    constexpr unsigned kBatch = 64;
    iovec vectors[kBatch];
    mmsghdr messages[kBatch];
    long long sent = 0, errors = 0;
    const double start = now();
    const double deadline = start + o.maxSeconds;
    // Paced: the number due at time t is rate * t; the sender wakes at least
    // every 100 µs and sends what is due.
    constexpr double kTick = 100e-6;
    while (sent < o.count) {
        const double t = now();
        if (t > deadline)
            break;
        long long due = o.count;
        if (o.rate > 0) {
            due = std::min<long long>(o.count, static_cast<long long>((t - start) * o.rate) + 1);
            if (due <= sent) {
                const double next = start + double(sent) / o.rate;
                sleepUntil(std::max(next, t + kTick));
                continue;
            }
        }
        // Up to 64 datagrams per system call; at full speed the clock is
        // read once per call.
        const long long stop = o.rate > 0 ? due : std::min(o.count, sent + kBatch);
        while (sent < stop) {
            const unsigned n = unsigned(std::min<long long>(stop - sent, kBatch));
            for (unsigned i = 0; i < n; ++i) {
                const Bytes &d = datagrams[std::size_t((sent + i) % prebuilt)];
                vectors[i] = {const_cast<unsigned char *>(d.data()), d.size()};
                messages[i] = {};
                messages[i].msg_hdr.msg_iov = &vectors[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            const int done = ::sendmmsg(fd, messages, n, 0);
            if (done <= 0) {
                ++errors;
                ++sent; // counted as sent and lost, so that the loop ends
                continue;
            }
            sent += done;
        }
    }
    const double elapsed = now() - start;
    ::close(fd);
    std::printf("sent=%lld errors=%lld seconds=%.6f rate=%.0f\n", sent, errors, elapsed,
                elapsed > 0 ? double(sent) / elapsed : 0.0);
    return sent == o.count ? 0 : 1;
}
