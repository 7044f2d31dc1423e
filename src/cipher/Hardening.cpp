// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/Hardening.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

void hardenProcess()
{
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit none {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        // The lowest free number is the one taken: this one, as those below it are open. Opened the other way round
        // from the descriptor's use, so that reading or writing it still fails as it would closed (EBADF).
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            ::open("/dev/null", (fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) | O_NOCTTY);
    }
}
