#include "platform/memory.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

std::uint64_t availableMemoryBytes() {
    // MemAvailable counts the page cache that can be dropped, which free
    // memory alone does not.
    if (std::FILE* meminfo = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        unsigned long long kibibytes = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, meminfo)) {
            found = std::sscanf(line, "MemAvailable: %llu kB", &kibibytes) == 1;
        }
        std::fclose(meminfo);
        if (found) return static_cast<std::uint64_t>(kibibytes) * 1024u;
    }
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}
