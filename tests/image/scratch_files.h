#pragma once
// A test fixture with a scratch folder of its own, removed after each test,
// for tests that hand files to the picture loader.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

class ScratchFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        directory_ = std::filesystem::temp_directory_path() / ("stillflow_image_test_" + std::to_string(seed()));
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }

    // Writes the bytes as a file of the scratch folder; returns its path.
    std::string writeBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = (directory_ / name).string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr);
        if (!file) return path;
        // An empty vector's data() may be null, which fwrite must not get.
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

    std::filesystem::path directory_;
};
