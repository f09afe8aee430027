#pragma once
// A folder only this process uses, under the system's temporary folder
// ($TMPDIR, else /tmp): made with a unique name that no one can foresee,
// readable by its owner alone, and removed with everything in it when its
// owner goes. For files that must never appear beside the user's own (the
// window's export hands the export tool a copy of the scene this way).
//
// Move-only owner: an empty one (default-constructed or moved from) owns
// nothing.

#include <string>
#include <type_traits>

class TemporaryFolder {
public:
    TemporaryFolder() = default;
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    TemporaryFolder(TemporaryFolder&& other) noexcept;
    // Removes this one's own folder first, then takes the source's.
    TemporaryFolder& operator=(TemporaryFolder&& other) noexcept;

    // Makes the folder, "<label>-XXXXXX"; false, with one line in `error`,
    // when it cannot be made. Removes whatever this one held before.
    bool make(const std::string& label, std::string& error);
    // Removes the folder and everything in it now.
    void remove();

    // The folder's absolute path; empty when this one is empty.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

static_assert(!std::is_copy_constructible<TemporaryFolder>::value, "TemporaryFolder owns its folder: no copies");
static_assert(std::is_nothrow_move_constructible<TemporaryFolder>::value, "TemporaryFolder moves must not throw");
static_assert(std::is_nothrow_move_assignable<TemporaryFolder>::value, "TemporaryFolder moves must not throw");
