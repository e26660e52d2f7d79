// A loopback TCP port that nothing listens on: the system picks a free one,
// which is let go again at once, so connecting to it is refused.
#pragma once

namespace moxel::test {

int unusedPort();

} // namespace moxel::test
