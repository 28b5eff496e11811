#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

/// While it lives, the files this thread opens are checked as for an ordinary
/// user, even when the test runs as root (as CI does), for whom every file is
/// readable. setfsuid() changes the user of file-system checks only, and only
/// on the calling thread; the destructor gives root its rights back.
class OrdinaryUser {
public:
    OrdinaryUser()
    {
        if (::geteuid() == 0)
            ::setfsuid(Uid());
    }
    ~OrdinaryUser()
    {
        if (::geteuid() == 0)
            ::setfsuid(0);
    }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

    /// The user the checks run as: "nobody" under root, otherwise ourselves.
    static uid_t Uid() { return ::geteuid() == 0 ? 65534 : ::geteuid(); }
};
