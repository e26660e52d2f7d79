#include "net/Clock.h"

#include <chrono>

namespace moxel {

namespace {

class SteadyClock : public Clock {
  public:
    uint64_t nowMs() const override
    {
        using namespace std::chrono;
        return uint64_t(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

} // namespace

Clock& steadyClock()
{
    static SteadyClock clock;
    return clock;
}

} // namespace moxel
