// Stream destinations: the syntax and its failures, the copy file beside the
// stream, and servers that cannot be reached, which are never reported.
#include "StreamJob.h"

#include "container/KmfReader.h"
#include "support/FreePort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

using namespace moxel;
using namespace moxel::test;

TEST(StreamDestination, SetUpFailuresHaveTheirMessages)
{
    struct Case {
        std::string destination;
        const char* message;
    };
    StreamJob probe;
    std::string header = probe.headerFile("icy-name:x\n");
    const Case cases[] = {
        {"qz:server", "openOutput: stream port not specified"},
        {"brox:", "openOutput: stream port not specified"},
        {"qz:server:8000", "openOutput: stream header file not specified"},
        {"brox:server:8000:" + probe.dir.file("missing.txt"),
         "openOutput: stream header file not found"},
        {"qz:server:8000:" + probe.dir.file("missing.txt") + "+" + probe.copyPath(),
         "openOutput: stream header file not found"},
    };
    for (const Case& c : cases) {
        StreamJob job;
        job.encoder.openOutput(c.destination.c_str());
        ASSERT_NE(job.encoder.errorText(), nullptr) << c.destination;
        EXPECT_STREQ(job.encoder.errorText(), c.message) << c.destination;
    }
    EXPECT_FALSE(std::filesystem::exists(probe.copyPath())); // no copy for a failed set-up

    // A header line is never cut in two.
    StreamJob job;
    std::string longLine = job.headerFile("icy-name:" + std::string(600, 'n') + "\n");
    job.encoder.openOutput(("qz:127.0.0.1:8000:" + longLine).c_str());
    ASSERT_NE(job.encoder.errorText(), nullptr);
    EXPECT_STREQ(job.encoder.errorText(),
                 "openOutput: stream header line too long (at most 511 characters)");
}

TEST(StreamDestination, HostPortAndProtocolComeFromTheDestination)
{
    StreamJob job;
    std::string header = job.headerFile("");
    // The port is the number at the start of its field; the header name runs to '+'.
    job.open("brox:127.0.0.1:4711xyz:" + header + "+" + job.copyPath());
    EXPECT_EQ(job.stream().protocol(), StreamProtocol::Brox);
    EXPECT_EQ(job.stream().serverHost(), "127.0.0.1");
    EXPECT_EQ(job.stream().serverPort(), 4711);
    EXPECT_TRUE(std::filesystem::exists(job.copyPath()));

    StreamJob qz;
    qz.open("qz:127.0.0.1::" + qz.headerFile(""));
    EXPECT_EQ(qz.stream().protocol(), StreamProtocol::Qz);
    EXPECT_EQ(qz.stream().serverPort(), 0);
}

TEST(StreamDestination, RefusedServerIsRetriedEveryTenSecondsAndNeverReported)
{
    StreamJob job(32, 32);
    job.encoder.setWriteHeader(true);
    job.encoder.setHdrTocSize(4);
    int port = unusedPort();
    job.open(job.destination("qz", port, job.headerFile("icy-name:test\n")));
    ASSERT_TRUE(job.framesUntil([&] { return job.state() == NetState::Error; }, 1000));
    EXPECT_STREQ(job.stream().connection()->errorText(), "connecting to host");

    for (int i = 0; i < 20; ++i)
        job.frame();
    job.clock.advance(10000);
    job.frame();
    EXPECT_EQ(job.stream().reconnects(), 0u);
    job.clock.advance(1);
    job.frame();
    EXPECT_EQ(job.stream().reconnects(), 1u);
    EXPECT_EQ(job.logCount("[qz] reconnecting to 127.0.0.1:" + std::to_string(port)), 1);
    ASSERT_TRUE(job.framesUntil([&] { return job.state() == NetState::Error; }, 1000));
    job.frame();
    EXPECT_EQ(job.stream().reconnects(), 1u); // not before another 10 s

    int frames = job.frames;
    EXPECT_TRUE(job.encoder.close());
    EXPECT_EQ(job.encoder.errorText(), nullptr);
    // The copy carries every frame and its file header.
    KmfReader reader;
    ASSERT_TRUE(reader.openFile(job.copyPath()));
    KmfFileHeaderInfo h;
    ASSERT_EQ(reader.readFileHeader(h), KmfReadStatus::Ok);
    EXPECT_EQ(h.fileSize, std::filesystem::file_size(job.copyPath()));
    EXPECT_EQ(countFrames(job.copyPath()), frames);
}

TEST(StreamDestination, UnresolvableNameStaysFailed)
{
    std::atomic<int> lookups{0};
    StreamJob job;
    job.encoder.setStreamResolver(
        std::make_unique<AsyncResolver>(64, job.clock, [&lookups](const char*) {
            lookups.fetch_add(1);
            return kNoAddress;
        }));
    job.open("brox:stream.invalid:8000:" + job.headerFile("a\nb\n"));
    ASSERT_TRUE(job.framesUntil([&] { return job.state() == NetState::Error; }, 1000));
    EXPECT_STREQ(job.stream().connection()->errorText(), "resolving hostname");
    for (int attempt = 1; attempt <= 3; ++attempt) {
        job.clock.advance(10001);
        job.frame();
        EXPECT_EQ(job.stream().reconnects(), uint64_t(attempt));
        ASSERT_TRUE(job.framesUntil([&] { return job.state() == NetState::Error; }, 10));
    }
    EXPECT_EQ(lookups.load(), 1);
    EXPECT_EQ(job.logCount("[brox] reconnecting to stream.invalid:8000"), 3);
    EXPECT_EQ(job.encoder.errorText(), nullptr);
}
