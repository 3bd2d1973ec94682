// Whole files read and written through the POSIX calls, whose errno gives the reason.
#include "common/FileIO.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Temporary names already taken by this process; with the process id they keep concurrent
// writers (threads or processes) from meeting on one temporary.
std::atomic<unsigned> temporaryCount{0};

constexpr int MaxTemporaryAttempts = 16;

std::string systemReason(int error) {
    return std::strerror(error);
}

bool writeAll(int fd, const std::string& text) {
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t count = write(fd, data, left);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        data += count;
        left -= static_cast<std::size_t>(count);
    }
    return true;
}

// A new file beside `path`, created exclusively; -1 (errno set) when none could be made.
int createTemporary(const std::string& path, std::string& temporary) {
    for (int attempt = 0; attempt < MaxTemporaryAttempts; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(getpid()) + "-" +
                    std::to_string(temporaryCount.fetch_add(1));
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Writes, flushes to the disk and closes `fd`; false (errno set) at the first failure.
bool fillAndClose(int fd, const std::string& text) {
    const bool written = writeAll(fd, text) && fsync(fd) == 0;
    const int error = errno;
    const bool closed = close(fd) == 0;
    if (!written) {
        errno = error;
    }
    return written && closed;
}

} // namespace

bool readWholeFile(const std::string& path, std::string& text, std::string& reason,
                   std::size_t maxBytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = systemReason(errno);
        return false;
    }
    std::string read;
    char buffer[65536];
    ssize_t count = 0;
    while ((count = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            reason = systemReason(errno);
            close(fd);
            return false;
        }
        read.append(buffer, static_cast<std::size_t>(count));
        if (read.size() > maxBytes) {
            reason = "larger than " + std::to_string(maxBytes) + " bytes";
            close(fd);
            return false;
        }
    }
    close(fd);
    text = std::move(read);
    return true;
}

bool writeFileAtomically(const std::string& path, const std::string& text, std::string& reason) {
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        reason = S_ISDIR(existing.st_mode) ? systemReason(EISDIR) : "not a regular file";
        return false;
    }
    std::string temporary;
    const int fd = createTemporary(path, temporary);
    if (fd < 0) {
        reason = systemReason(errno);
        return false;
    }
    if (!fillAndClose(fd, text) || rename(temporary.c_str(), path.c_str()) != 0) {
        reason = systemReason(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
