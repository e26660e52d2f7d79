#include "fuzz/FuzzTarget.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace moxel::fuzz {

namespace {

std::vector<Target>& registry()
{
    static std::vector<Target> all;
    return all;
}

} // namespace

Registration::Registration(const char* name, EntryFn entry, SeedsFn seeds)
{
    registry().push_back({name, entry, seeds});
}

std::vector<Target> targets()
{
    std::vector<Target> all = registry();
    std::sort(all.begin(), all.end(),
              [](const Target& a, const Target& b) { return a.name < b.name; });
    return all;
}

const Target* findTarget(std::string_view name)
{
    for (const Target& t : registry())
        if (t.name == name)
            return &t;
    return nullptr;
}

void checkFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "fuzz check failed at %s:%d: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

} // namespace moxel::fuzz
