// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

// bench_default_rcvbuf: a preload library for the intake benchmark that
// makes a program keep the system's default UDP receive buffer. Requests to
// change SO_RCVBUF or SO_RCVBUFFORCE succeed without doing anything; every
// other socket option goes to the C library.
//
//   LD_PRELOAD=.../libbench_default_rcvbuf.so quorvik

#include <dlfcn.h>
#include <sys/socket.h>

#include <cstring>

namespace {

using SetSockOpt = int (*)(int, int, int, const void *, socklen_t);

SetSockOpt next() {
    static SetSockOpt function = [] {
        void *symbol = dlsym(RTLD_NEXT, "setsockopt");
        SetSockOpt f = nullptr;
        static_assert(sizeof f == sizeof symbol);
        std::memcpy(&f, &symbol, sizeof f);
        return f;
    }();
    return function;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int
setsockopt(int fd, int level, int name, const void *value, socklen_t length) noexcept {
    if (level == SOL_SOCKET && (name == SO_RCVBUF || name == SO_RCVBUFFORCE))
        return 0;
    return next()(fd, level, name, value, length);
}
