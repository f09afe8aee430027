#pragma once
// Writing files the user keeps, so that a failure never costs the old file.
//
// Every shape below works the same way: the new content goes into a
// temporary created exclusively, under a unique name, beside the target in
// the same folder (never an existing file, never through a symbolic link
// planted under a plausible name); it is flushed and synced to the disk,
// renamed over the target in one step, and the folder is synced so that the
// rename itself survives a power cut. A failure anywhere removes the
// temporary and leaves the target as it was (or absent, if it was).
//
//   writeFileSafely  a whole buffer at once;
//   StagedFile       a file that a writer fills through a descriptor or a
//                    FILE*, then commits (an encoder that writes as it goes);
//   StagedFolder     a folder of files that appears whole under its name.
//
// Nothing here prints or exits: every call that can fail returns false with
// one line (no newline) in `error` saying what went wrong, naming the target
// as the caller gave it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <type_traits>

// Writes `size` bytes as the file `target`, replacing it.
bool writeFileSafely(const std::string& target, const void* bytes, std::size_t size, std::string& error);

// Where a temporary's unique name comes from: one 64-bit draw per attempt.
// Empty: the system's random source, so that no name can be foreseen. A test
// passes its own to make a clash with a name planted in advance certain.
using TemporaryNameDraw = std::function<std::uint64_t()>;

// The temporary's name for one draw: ".NAME.<16 hex digits>.part" in the
// target's folder (hidden, and saying whose it is should a crash leave it).
std::string temporaryNameBeside(const std::string& target, std::uint64_t draw);

// Removes every temporary beside `target` named as temporaryNameBeside names
// them, files and folders alike: what a writer that was killed (and so could
// not remove its own) left behind. Nothing else is touched.
void removeTemporariesBeside(const std::string& target);

// A file being written under a temporary name beside its target. Move-only;
// an empty one (default-constructed, moved from, committed or abandoned)
// owns nothing. Destroying one that was opened but not committed removes
// its temporary.
class StagedFile {
public:
    StagedFile() = default;
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    // Takes the temporary and leaves the source empty.
    StagedFile(StagedFile&& other) noexcept;
    // Abandons this file's own temporary (if any) first, then takes the source's.
    StagedFile& operator=(StagedFile&& other) noexcept;

    // Creates the temporary beside `target` (whose folder must exist), empty
    // and open for writing. Abandons whatever this one held before.
    bool open(const std::string& target, std::string& error, const TemporaryNameDraw& draw = {});
    bool isOpen() const { return descriptor_ >= 0; }

    // The temporary's descriptor, open for reading and writing (a writer may
    // read back what it wrote); -1 when empty. Writes through it and through
    // stream() must not be mixed.
    int descriptor() const { return descriptor_; }
    // A stdio stream on the descriptor, made on first use (null when empty
    // or when the stream cannot be made). commit() flushes and closes it.
    std::FILE* stream();

    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temporary_; }

    // Flushes the stream (a write error the stream recorded fails here),
    // syncs and closes the file, renames it over the target and syncs the
    // folder. Empty afterwards, whatever the outcome; on false the temporary
    // is gone and the target as it was.
    bool commit(std::string& error);
    // Closes and removes the temporary now.
    void abandon();

private:
    int descriptor_ = -1;          // the temporary, open for writing; -1: empty
    std::FILE* stream_ = nullptr;  // made on the descriptor by stream(); owns it once made
    std::string target_;
    std::string temporary_;
};

// A folder being filled under a temporary name beside its target, which
// must not exist or be an empty folder (rename never replaces a folder that
// holds anything). Move-only, like StagedFile; destroying one that was
// opened but not committed removes its folder with everything in it.
class StagedFolder {
public:
    StagedFolder() = default;
    ~StagedFolder();
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;
    StagedFolder(StagedFolder&& other) noexcept;
    StagedFolder& operator=(StagedFolder&& other) noexcept;

    // Creates the temporary folder beside `target`, empty.
    bool open(const std::string& target, std::string& error, const TemporaryNameDraw& draw = {});
    bool isOpen() const { return !temporary_.empty(); }

    // Where the writer puts its files; empty when this one is empty.
    const std::string& path() const { return temporary_; }
    const std::string& target() const { return target_; }

    // Syncs every file and folder in it to the disk, renames it to the
    // target and syncs the folder around it. Empty afterwards, whatever the
    // outcome; on false the temporary folder is gone and the target as it was.
    bool commit(std::string& error);
    // Removes the temporary folder and everything in it now.
    void abandon();

private:
    std::string target_;
    std::string temporary_;  // empty: nothing staged
};

static_assert(!std::is_copy_constructible<StagedFile>::value, "StagedFile owns its temporary: no copies");
static_assert(std::is_nothrow_move_constructible<StagedFile>::value, "StagedFile moves must not throw");
static_assert(std::is_nothrow_move_assignable<StagedFile>::value, "StagedFile moves must not throw");
static_assert(!std::is_copy_constructible<StagedFolder>::value, "StagedFolder owns its temporary: no copies");
static_assert(std::is_nothrow_move_constructible<StagedFolder>::value, "StagedFolder moves must not throw");
static_assert(std::is_nothrow_move_assignable<StagedFolder>::value, "StagedFolder moves must not throw");
