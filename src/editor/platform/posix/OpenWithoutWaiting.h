#pragma once

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace initfile::platform
{
// Opens `path` without waiting on whatever lies under the name (a pipe with no
// writer, a terminal nobody types into), then judges what was opened by the
// descriptor itself, so nothing swapped in under the name can slip past. The
// descriptor comes back blocking, for plain reads and writes, only when
// `accept` takes its status; otherwise -1, with errno 0 when the refusal is
// ours alone.
template <typename Accept>
int openWithoutWaiting (const char* path, int flags, Accept&& accept)
{
    const int fd = ::open (path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return fd;
    struct stat info;
    int error = 0; // stays 0 when `accept` refuses
    if (::fstat (fd, &info) != 0)
        error = errno;
    else if (accept (info))
    {
        const int oldFlags = ::fcntl (fd, F_GETFL);
        if (oldFlags != -1 && ::fcntl (fd, F_SETFL, oldFlags & ~O_NONBLOCK) == 0)
            return fd;
        error = errno;
    }
    ::close (fd);
    errno = error;
    return -1;
}
} // namespace initfile::platform
