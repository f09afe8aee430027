#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// What a file that is not a regular one is, for the message.
const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "something else";
}

// Opens the path and checks what it is; the descriptor, or -1 with `check`
// and `why` filled in.
int openChecked(const char* path, FileCheck& check, std::string& why, std::uint64_t* size) {
    why.clear();
    check = FileCheck::unusable;
    if (!path || !*path) {
        why = "no file is named";
        return -1;
    }
    // O_NONBLOCK: opening a FIFO for reading returns at once instead of
    // waiting for a writer; O_NOCTTY: a terminal device never becomes ours.
    int descriptor = -1;
    do {
        descriptor = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            check = FileCheck::missing;
        } else {
            why = std::string("it cannot be opened: ") + std::strerror(errno);
        }
        return -1;
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        why = std::string("it cannot be examined: ") + std::strerror(errno);
        ::close(descriptor);
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        why = std::string("it is not a regular file but ") + kindOf(status.st_mode);
        ::close(descriptor);
        return -1;
    }
    // Reads from here on wait for the disk as usual.
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        why = std::string("it cannot be read: ") + std::strerror(errno);
        ::close(descriptor);
        return -1;
    }
    check = FileCheck::regular;
    if (size) *size = static_cast<std::uint64_t>(status.st_size);
    return descriptor;
}

}  // namespace

std::FILE* openRegularFile(const char* path, FileCheck& check, std::string& why, std::uint64_t* size) {
    const int descriptor = openChecked(path, check, why, size);
    if (descriptor < 0) return nullptr;
    std::FILE* file = ::fdopen(descriptor, "rb");
    if (!file) {
        why = std::string("it cannot be read: ") + std::strerror(errno);
        check = FileCheck::unusable;
        ::close(descriptor);
    }
    return file;
}

FileCheck checkRegularFile(const char* path, std::string& why) {
    FileCheck check = FileCheck::unusable;
    const int descriptor = openChecked(path, check, why, nullptr);
    if (descriptor >= 0) ::close(descriptor);
    return check;
}
