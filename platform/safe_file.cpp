#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

// Contents
//   1. names beside the target
//   2. descriptors: writing, syncing
//   3. writeFileSafely
//   4. StagedFile
//   5. StagedFolder

namespace fs = std::filesystem;

namespace {

// ---- 1. names beside the target ---------------------------------------------

// Unique names are drawn at random; a clash (a leftover, a name planted in
// advance) only costs another draw, and this many clashes in a row means
// something in the folder is wrong.
constexpr int kNameAttempts = 64;
// The target's name enters the temporary's only this far, so that a long
// name plus the suffix stays within the system's limit on a name.
constexpr std::size_t kLongestNameKept = 128;

std::string folderOf(const std::string& target) {
    const fs::path parent = fs::path(target).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// The draws of one open: the caller's, or the system's random source.
class NameDraws {
public:
    explicit NameDraws(const TemporaryNameDraw& draw) : draw_(draw) {
        if (draw_) return;
        std::random_device device;
        random_.seed((static_cast<std::uint64_t>(device()) << 32) ^ device());
    }
    std::uint64_t next() { return draw_ ? draw_() : random_(); }

private:
    const TemporaryNameDraw& draw_;
    std::mt19937_64 random_;
};

bool namesAFile(const std::string& target, std::string& error) {
    if (!target.empty() && fs::path(target).has_filename()) return true;
    error = target.empty() ? "no file name" : target + " names no file";
    return false;
}

// The system's reason; a write that failed without one was cut short.
std::string describe(int errorNumber) {
    return errorNumber != 0 ? std::strerror(errorNumber) : "the data could not be written completely";
}

// ---- 2. descriptors -----------------------------------------------------------

bool writeAll(int descriptor, const void* bytes, std::size_t size, int& errorNumber) {
    const char* next = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(descriptor, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            errorNumber = written < 0 ? errno : 0;
            return false;
        }
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// Asks the system to put what was written on the disk: without it, a power
// cut after the rename could leave the renamed file empty.
bool syncDescriptor(int descriptor, int& errorNumber) {
    while (::fsync(descriptor) != 0) {
        if (errno == EINTR) continue;
        errorNumber = errno;
        return false;
    }
    return true;
}

// File systems that cannot sync a folder say so with these; there is then
// nothing more to do for its entries.
bool syncUnsupported(int errorNumber) { return errorNumber == EINVAL || errorNumber == ENOTSUP || errorNumber == EROFS; }

// Syncs a file or folder by name, not following a symbolic link. A folder
// that cannot be opened for reading (write-only permissions) cannot be
// synced by anyone and is passed over.
bool syncPath(const std::string& path, bool folder, int& errorNumber) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | (folder ? O_DIRECTORY : 0);
    const int descriptor = ::open(path.c_str(), flags);
    if (descriptor < 0) {
        if (errno == EACCES || errno == EPERM) return true;
        errorNumber = errno;
        return false;
    }
    const bool synced = syncDescriptor(descriptor, errorNumber) || syncUnsupported(errorNumber);
    ::close(descriptor);
    return synced;
}

// The last step of every commit: the rename is made durable.
bool syncFolderOf(const std::string& target, std::string& error) {
    int errorNumber = 0;
    if (syncPath(folderOf(target), true, errorNumber)) return true;
    error = target + " is in place, but its folder could not be synced to the disk: " + describe(errorNumber);
    return false;
}

// Creates the first free temporary name beside `target` with `create`
// (which makes the file or folder exclusively and answers -1 with errno set
// when it could not); `kind` names what is made, for the error line. The
// name taken goes to `temporary`; the answer is create's (-1 on failure).
template <typename Create>
int createBeside(const std::string& target, const TemporaryNameDraw& draw, const char* kind, Create create,
                 std::string& temporary, std::string& error) {
    if (!namesAFile(target, error)) return -1;
    NameDraws draws(draw);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = temporaryNameBeside(target, draws.next());
        const int made = create(candidate);
        if (made >= 0) {
            temporary = candidate;
            return made;
        }
        if (errno != EEXIST && errno != EINTR) {
            error = std::string("cannot create a ") + kind + " beside " + target + ": " + describe(errno);
            return -1;
        }
    }
    error = "cannot find a free temporary name beside " + target;
    return -1;
}

}  // namespace

std::string temporaryNameBeside(const std::string& target, std::uint64_t draw) {
    const std::string name = fs::path(target).filename().string().substr(0, kLongestNameKept);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx.part", static_cast<unsigned long long>(draw));
    return (fs::path(folderOf(target)) / ("." + name + suffix)).string();
}

void removeTemporariesBeside(const std::string& target) {
    const std::string prefix = "." + fs::path(target).filename().string().substr(0, kLongestNameKept) + ".";
    const std::string suffix = ".part";
    constexpr std::size_t kDrawDigits = 16;
    std::error_code code;
    for (const fs::directory_entry& entry : fs::directory_iterator(folderOf(target), code)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + kDrawDigits + suffix.size() || name.rfind(prefix, 0) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        const std::string draw = name.substr(prefix.size(), kDrawDigits);
        if (draw.find_first_not_of("0123456789abcdef") != std::string::npos) continue;
        std::error_code ignored;
        fs::remove_all(entry.path(), ignored);
    }
}

// ---- 3. writeFileSafely -----------------------------------------------------------

bool writeFileSafely(const std::string& target, const void* bytes, std::size_t size, std::string& error) {
    StagedFile file;
    if (!file.open(target, error)) return false;
    int errorNumber = 0;
    if (!writeAll(file.descriptor(), bytes, size, errorNumber)) {
        file.abandon();
        error = "cannot write " + target + ": " + describe(errorNumber);
        return false;
    }
    return file.commit(error);
}

// ---- 4. StagedFile ------------------------------------------------------------------

StagedFile::~StagedFile() { abandon(); }

StagedFile::StagedFile(StagedFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      stream_(std::exchange(other.stream_, nullptr)),
      target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)) {
    other.target_.clear();
    other.temporary_.clear();
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this == &other) return *this;
    abandon();
    descriptor_ = std::exchange(other.descriptor_, -1);
    stream_ = std::exchange(other.stream_, nullptr);
    target_ = std::move(other.target_);
    temporary_ = std::move(other.temporary_);
    other.target_.clear();
    other.temporary_.clear();
    return *this;
}

bool StagedFile::open(const std::string& target, std::string& error, const TemporaryNameDraw& draw) {
    abandon();
    // O_EXCL creates the file or fails: an existing file, or a symbolic link
    // planted under the name, is never opened, so nothing outside the folder
    // can be written through it. Read and write: a writer may read back what
    // it wrote (a video muxer moves its index to the front that way).
    const int descriptor = createBeside(target, draw, "file", [](const std::string& candidate) {
        return ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    }, temporary_, error);
    if (descriptor < 0) return false;
    descriptor_ = descriptor;
    target_ = target;
    return true;
}

std::FILE* StagedFile::stream() {
    if (!stream_ && descriptor_ >= 0) stream_ = ::fdopen(descriptor_, "wb");
    return stream_;
}

bool StagedFile::commit(std::string& error) {
    if (!isOpen()) {
        error = "no file is being written";
        return false;
    }
    auto fail = [&](const std::string& why) {
        abandon();
        error = why;
        return false;
    };
    const std::string target = target_;

    // 1. What the stream still buffers, and any write error it recorded.
    int errorNumber = 0;
    if (stream_) {
        errno = 0;
        const bool flushed = std::fflush(stream_) == 0 && !std::ferror(stream_);
        if (!flushed) return fail("cannot write " + target + ": " + describe(errno));
    }

    // 2. The bytes on the disk, then the file closed: a full disk may only
    //    show here on some file systems.
    if (!syncDescriptor(descriptor_, errorNumber)) return fail("cannot write " + target + ": " + describe(errorNumber));
    errno = 0;
    const bool closed = stream_ ? std::fclose(stream_) == 0 : ::close(descriptor_) == 0;
    const int closeErrno = errno;
    stream_ = nullptr;
    descriptor_ = -1;
    if (!closed) return fail("cannot write " + target + ": " + describe(closeErrno));

    // 3. In place in one step; the old file stands until this succeeds.
    if (::rename(temporary_.c_str(), target.c_str()) != 0) {
        return fail("cannot replace " + target + ": " + describe(errno));
    }
    target_.clear();
    temporary_.clear();

    // 4. The rename on the disk too.
    return syncFolderOf(target, error);
}

void StagedFile::abandon() {
    if (stream_) {
        std::fclose(stream_);  // closes the descriptor too
    } else if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
    stream_ = nullptr;
    descriptor_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    target_.clear();
    temporary_.clear();
}

// ---- 5. StagedFolder --------------------------------------------------------------

StagedFolder::~StagedFolder() { abandon(); }

StagedFolder::StagedFolder(StagedFolder&& other) noexcept
    : target_(std::move(other.target_)), temporary_(std::move(other.temporary_)) {
    other.target_.clear();
    other.temporary_.clear();
}

StagedFolder& StagedFolder::operator=(StagedFolder&& other) noexcept {
    if (this == &other) return *this;
    abandon();
    target_ = std::move(other.target_);
    temporary_ = std::move(other.temporary_);
    other.target_.clear();
    other.temporary_.clear();
    return *this;
}

bool StagedFolder::open(const std::string& target, std::string& error, const TemporaryNameDraw& draw) {
    abandon();
    // mkdir creates the folder or fails, like O_EXCL: it never takes over
    // an existing folder or follows a planted link.
    const int made = createBeside(target, draw, "folder", [](const std::string& candidate) {
        return ::mkdir(candidate.c_str(), 0777);
    }, temporary_, error);
    if (made < 0) return false;
    target_ = target;
    return true;
}

bool StagedFolder::commit(std::string& error) {
    if (!isOpen()) {
        error = "no folder is being written";
        return false;
    }
    auto fail = [&](const std::string& why) {
        abandon();
        error = why;
        return false;
    };
    const std::string target = target_;

    // 1. Every file and folder inside on the disk, then the folder itself.
    //    Links are neither followed nor synced: the folder holds what the
    //    writer put there, and a link's target is not part of it.
    std::error_code walkError;
    int errorNumber = 0;
    for (fs::recursive_directory_iterator entry(temporary_, walkError), end; !walkError && entry != end;
         entry.increment(walkError)) {
        const fs::file_status status = entry->symlink_status(walkError);
        if (walkError) break;
        if (!fs::is_regular_file(status) && !fs::is_directory(status)) continue;
        if (!syncPath(entry->path().string(), fs::is_directory(status), errorNumber)) {
            return fail("cannot write " + entry->path().filename().string() + " for " + target + ": " +
                        describe(errorNumber));
        }
    }
    if (walkError) return fail("cannot read back the files written for " + target + ": " + walkError.message());
    if (!syncPath(temporary_, true, errorNumber)) return fail("cannot write " + target + ": " + describe(errorNumber));

    // 2. In place in one step: a missing target appears whole, an empty
    //    folder is replaced, anything else stands and the call fails.
    if (::rename(temporary_.c_str(), target.c_str()) != 0) {
        return fail("cannot create " + target + ": " + describe(errno));
    }
    target_.clear();
    temporary_.clear();

    // 3. The rename on the disk too.
    return syncFolderOf(target, error);
}

void StagedFolder::abandon() {
    if (!temporary_.empty()) {
        std::error_code ignored;
        fs::remove_all(temporary_, ignored);
    }
    target_.clear();
    temporary_.clear();
}
