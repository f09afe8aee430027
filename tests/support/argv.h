#pragma once
// A command line as main receives it, for the parsers that take argc and
// argv and may rearrange them.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The words, argc, and an argv with its terminating null whose pointers a
// parser may reorder; remaining() reads the first argc of them back.
struct Argv {
    explicit Argv(std::vector<std::string> words) : storage(std::move(words)) {
        for (std::string& word : storage) pointers.push_back(word.data());
        pointers.push_back(nullptr);
        argc = static_cast<int>(storage.size());
    }
    std::vector<std::string> remaining() const {
        std::vector<std::string> out;
        for (int i = 0; i < argc; ++i) out.emplace_back(pointers[static_cast<std::size_t>(i)]);
        return out;
    }
    std::vector<std::string> storage;
    std::vector<char*> pointers;
    int argc = 0;
};
