// A temporary folder that exists for the life of the object, and small file
// helpers for tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace moxel::test {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // path() / name as a string.
    std::string file(const std::string& name) const;

  private:
    std::filesystem::path m_path;
};

std::vector<uint8_t> readFileBytes(const std::string& path);
std::string readFileText(const std::string& path);
void writeFileText(const std::string& path, const std::string& text);
void writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace moxel::test
