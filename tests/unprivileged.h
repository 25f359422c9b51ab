// SPDX-FileCopyrightText: 2026 The Quorvik developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Root may write every file and folder, so the permission faults under test
// would not show when the tests run as root. While an Unprivileged object
// lives, the process acts as the user "nobody" (effective ids only, given
// back at the end); for any other user it changes nothing.

#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace quorvik::testing {

class Unprivileged {
public:
    Unprivileged() {
        if (::geteuid() != 0)
            return;
        const passwd *nobody = ::getpwnam("nobody");
        const uid_t uid = nobody ? nobody->pw_uid : 65534;
        const gid_t gid = nobody ? nobody->pw_gid : 65534;
        m_switched = ::setegid(gid) == 0 && ::seteuid(uid) == 0;
    }
    ~Unprivileged() {
        if (m_switched && ::seteuid(0) == 0)
            m_switched = ::setegid(0) != 0;
    }
    Unprivileged(const Unprivileged &) = delete;
    Unprivileged &operator=(const Unprivileged &) = delete;

private:
    bool m_switched = false;
};

} // namespace quorvik::testing
