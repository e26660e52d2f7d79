// A server that stops reading: the encoder goes on at full pace, the stream
// backlog stops at 1 MiB and later frames are left out of the stream while
// the copy file gets every one; once the server reads again, what it gets
// starts with exactly the frames queued before the first one left out.
#include "StreamJob.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace moxel;
using namespace moxel::test;

TEST(StreamBacklog, StalledServerLosesFramesBeyondOneMebibyteNotTheCopy)
{
    for (ReceiveProtocol protocol : {ReceiveProtocol::Qz, ReceiveProtocol::Brox}) {
        bool qz = protocol == ReceiveProtocol::Qz;
        SCOPED_TRACE(qz ? "qz" : "brox");
        ReceiverOptions options = receiverOptions(protocol);
        options.stall = true;
        options.receiveBuffer = 4096;
        KmfReceiver server;
        ASSERT_TRUE(server.start(options));
        StreamJob job(64, 64); // frames of about 12 KiB
        job.open(
            job.destination(qz ? "qz" : "brox", server.port(), job.headerFile("icy-name:s\n")));

        size_t copyBeforeDrop = 0;
        ASSERT_TRUE(job.framesUntil(
            [&] {
                if (job.stream().framesDropped() > 0)
                    return true;
                copyBeforeDrop = std::filesystem::file_size(job.copyPath());
                return false;
            },
            5000));
        size_t frameSize = std::filesystem::file_size(job.copyPath()) / size_t(job.frames);
        size_t unsent = job.stream().unsentBytes();
        EXPECT_GE(unsent, kStreamBacklogLimit);
        EXPECT_LT(unsent, kStreamBacklogLimit + 2 * frameSize);
        EXPECT_EQ(job.stream().framesQueued(), uint64_t(job.frames - 1));

        for (int i = 0; i < 30; ++i)
            job.frame();
        EXPECT_EQ(job.stream().framesDropped(), 31u);
        EXPECT_EQ(job.stream().unsentBytes(), unsent);
        EXPECT_EQ(job.state(), NetState::Connected);

        server.setStalled(false);
        ASSERT_TRUE(job.framesUntil([&] { return server.stream(0).dataBytes >= copyBeforeDrop; }));
        std::vector<uint8_t> copy = readFileBytes(job.copyPath());
        std::vector<uint8_t> got = server.stream(0).data;
        ASSERT_GE(got.size(), copyBeforeDrop - (qz ? 0 : 8192));
        size_t compared = std::min(got.size(), copyBeforeDrop);
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + long(compared), copy.begin()));

        int frames = job.frames;
        EXPECT_TRUE(job.encoder.close());
        EXPECT_EQ(countFrames(job.copyPath()), frames);
    }
}
