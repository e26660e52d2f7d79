#include "fuzz/ScratchFolder.h"

#include "fuzz/FuzzTarget.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace moxel::fuzz {

namespace {

class Folder {
  public:
    Folder()
    {
        // Memory-backed where there is one: the parsers' saves sync every file.
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec) || access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string pattern = (base / "moxel-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("moxel fuzz: cannot make a scratch folder");
            std::abort();
        }
        m_path = pattern;
    }
    ~Folder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

} // namespace

std::string scratchPath(const std::string& name)
{
    static Folder folder;
    return folder.path() + "/" + name;
}

void writeScratch(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    MOXEL_FUZZ_CHECK(f != nullptr);
    bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    MOXEL_FUZZ_CHECK(std::fclose(f) == 0 && written);
}

} // namespace moxel::fuzz
