#include "records/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tkan {

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::size_t maxBytes)
{
    bytes.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) <= maxBytes;
    if (ok) {
        try {
            bytes.resize(static_cast<std::size_t>(info.st_size));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    std::size_t got = 0;
    while (ok && got < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The file shrank while we read it: keep what is there.
            if (n < 0)
                ok = false;
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!ok) {
        bytes.clear();
        return false;
    }
    bytes.resize(got);
    return true;
}

namespace {

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t length)
{
    while (length > 0) {
        ssize_t n = ::write(fd, bytes, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;
        if (n <= 0)
            return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::uint8_t* bytes, std::size_t length)
{
    std::string temp = path + ".partial-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;

    // mkstemp creates the file private to the user; a test file should get
    // the permissions any other file the operator saves gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    bool ok = WriteAll(fd, bytes, length) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int cause = errno;
        ::unlink(temp.c_str());
        errno = cause;
    }
    return ok;
}

}  // namespace tkan
