#include "tools/kmfinfo/KmfInfo.h"

#include "base/JsonWriter.h"

#include "KmfSampleFile.h"
#include "support/JsonCheck.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

using namespace moxel;
using namespace moxel::test;

namespace {

struct ToolRun {
    int code = -1;
    std::string out, err;
};

ToolRun kmfinfo(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    ToolRun r;
    r.code = runKmfInfo(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

JsonValue parsed(const std::string& document)
{
    JsonValue v;
    std::string error;
    EXPECT_TRUE(parseJson(document, v, error)) << error << "\n" << document;
    return v;
}

class KmfInfoTest : public testing::Test {
  protected:
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = m_dir.file(name);
        writeFileBytes(path, bytes);
        return path;
    }
    TempDir m_dir;
};

} // namespace

TEST_F(KmfInfoTest, TextReportOfASmallFile)
{
    std::string path = write("small.kmf", makeSampleFile().bytes);
    ToolRun r = kmfinfo({"--frames", path});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "file: " + path + "\n" + R"(size: 249 bytes
file header: 47 bytes
  file size: 249 bytes
  length: 200 ms
  metadata: "abc" (3 bytes)
  toc: 4 slots allocated, 4 used
  toc entries: 0 78 117 124
frames:
      offset  kind       video  audio  aux  aux-bytes  sync-offset
          47  sync          24     10    2          8          -40
         125  non-sync      24      8    0          0            -
         164  non-sync       0      0    0          0            -
         171  sync          24     12    0          0           15
         231  non-sync       5      0    1          0            -
stream (first sync frame, at byte 47):
  video: "RGB3" 4x2
  audio: "PCM "
  frame rate: 25 fps (code 0x19)
frames: 5 (2 sync)
video bytes: 77
audio bytes: 30
aux bytes: 8 in 3 chunks
toc entries at frame starts: 4 of 4
)");

    // Without --frames the table is left out, the rest is the same.
    ToolRun summary = kmfinfo({path});
    EXPECT_EQ(summary.code, 0);
    EXPECT_EQ(summary.out.find("frames:\n"), std::string::npos);
    EXPECT_NE(summary.out.find("frames: 5 (2 sync)\n"), std::string::npos);
}

TEST_F(KmfInfoTest, JsonReportOfASmallFile)
{
    std::string path = write("small.kmf", makeSampleFile().bytes);
    ToolRun r = kmfinfo({"--json", "--frames", path});
    EXPECT_EQ(r.code, 0) << r.err;
    JsonValue doc = parsed(r.out);
    EXPECT_EQ(doc["file"].text, path);
    EXPECT_EQ(doc["size"].number, 249);
    const JsonValue& h = doc["header"];
    EXPECT_EQ(h["headerSize"].number, 47);
    EXPECT_EQ(h["fileSize"].number, 249);
    EXPECT_EQ(h["lengthMs"].number, 200);
    EXPECT_EQ(h["metadata"].text, "abc");
    EXPECT_EQ(h["metadataHex"].text, "616263");
    EXPECT_EQ(h["tocAllocated"].number, 4);
    EXPECT_EQ(h["tocUsed"].number, 4);
    ASSERT_EQ(h["toc"].items.size(), 4u);
    EXPECT_EQ(h["toc"][3].number, 124);

    const JsonValue& s = doc["stream"];
    EXPECT_EQ(s["frameOffset"].number, 47);
    EXPECT_EQ(s["videoFormat"].text, "RGB3");
    EXPECT_EQ(s["audioFormat"].text, "PCM ");
    EXPECT_EQ(s["width"].number, 4);
    EXPECT_EQ(s["height"].number, 2);
    EXPECT_EQ(s["frameRate"].number, 25);
    EXPECT_EQ(s["frameRateCode"].number, 25);
    EXPECT_EQ(doc["frames"].number, 5);
    EXPECT_EQ(doc["syncFrames"].number, 2);
    EXPECT_EQ(doc["videoBytes"].number, 77);
    EXPECT_EQ(doc["audioBytes"].number, 30);
    EXPECT_EQ(doc["auxBytes"].number, 8);
    EXPECT_EQ(doc["tocEntriesAtFrames"].number, 4);
    EXPECT_TRUE(doc["error"].isNull());
    EXPECT_TRUE(doc.has("error"));

    const JsonValue& list = doc["frameList"];
    ASSERT_EQ(list.items.size(), 5u);
    EXPECT_EQ(list[0]["offset"].number, 47);
    EXPECT_TRUE(list[0]["sync"].boolean);
    EXPECT_EQ(list[0]["size"].number, 78);
    EXPECT_EQ(list[0]["syncOffsetMs"].number, -40);
    ASSERT_EQ(list[0]["aux"].items.size(), 2u);
    EXPECT_EQ(list[0]["aux"][1]["type"].text, "ZZ-9");
    EXPECT_EQ(list[0]["aux"][1]["length"].number, 5);
    EXPECT_FALSE(list[1]["sync"].boolean);
    EXPECT_TRUE(list[1]["syncOffsetMs"].isNull());
    EXPECT_EQ(list[4]["offset"].number, 231);

    EXPECT_FALSE(parsed(kmfinfo({"--json", path}).out).has("frameList"));
}

TEST_F(KmfInfoTest, DamagedFileExitsOneWithTheOffset)
{
    std::vector<uint8_t> bytes = makeSampleFile().bytes;
    bytes.resize(200); // inside the sync frame at byte 171
    std::string path = write("cut.kmf", bytes);

    ToolRun text = kmfinfo({"--frames", path});
    EXPECT_EQ(text.code, 1);
    EXPECT_EQ(text.err, "kmfinfo: " + path +
                            ": at byte 171: truncated sync frame: it ends at byte 231, the file "
                            "ends at byte 200\n");
    EXPECT_NE(text.out.find("frames: 3 (1 sync)\n"), std::string::npos)
        << "what was read is still shown";
    EXPECT_NE(text.out.find("         164  non-sync"), std::string::npos);

    ToolRun json = kmfinfo({"--json", path});
    EXPECT_EQ(json.code, 1);
    EXPECT_EQ(json.err, text.err);
    JsonValue doc = parsed(json.out);
    EXPECT_EQ(doc["frames"].number, 3);
    EXPECT_EQ(doc["error"]["offset"].number, 171);
    EXPECT_EQ(doc["error"]["message"].text.rfind("at byte 171: ", 0), 0u);

    // Not a KMF file at all: damaged at byte 0.
    ToolRun notKmf = kmfinfo({write("text.kmf", {'h', 'e', 'l', 'l', 'o'})});
    EXPECT_EQ(notKmf.code, 1);
    EXPECT_NE(notKmf.err.find("at byte 0: unknown frame magic"), std::string::npos) << notKmf.err;
}

TEST_F(KmfInfoTest, TrickyMetadataStaysValidJson)
{
    const std::string tricky =
        std::string("say \"hi\" \\ /\n\t\x01\x1f\x7f") + std::string(1, '\0') +
        "\xff|\xc3|\xc0\x80|\xed\xa0\x80|\xc3\xa9|\xf0\x9f\x98\x80|\xf4\x90\x80\x80";
    std::string path = write("meta.kmf", makeSampleFile({.metadata = tricky}).bytes);
    ToolRun r = kmfinfo({"--json", path});
    EXPECT_EQ(r.code, 0) << r.err;
    JsonValue doc = parsed(r.out);
    const std::string fffd = "\xef\xbf\xbd";
    const std::string expect = std::string("say \"hi\" \\ /\n\t\x01\x1f\x7f") +
                               std::string(1, '\0') + fffd + "|" + fffd + "|" + fffd + fffd + "|" +
                               fffd + fffd + fffd + "|\xc3\xa9|\xf0\x9f\x98\x80|" + fffd + fffd +
                               fffd + fffd;
    EXPECT_EQ(doc["header"]["metadata"].text, expect);
    EXPECT_EQ(doc["header"]["metadataLength"].number, double(tricky.size()));
    std::string hex;
    for (unsigned char c : tricky) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    EXPECT_EQ(doc["header"]["metadataHex"].text, hex);

    ToolRun text = kmfinfo({path});
    EXPECT_NE(text.out.find(R"(metadata: "say \"hi\" \\ /\x0a\x09\x01\x1f\x7f\x00\xff|\xc3|)"),
              std::string::npos)
        << text.out;
}

TEST_F(KmfInfoTest, LongTocIsAbbreviatedInTextAndFullInJson)
{
    std::string path = write("toc.kmf", makeSampleFile({.metadata = "", .tocSlots = 1024}).bytes);
    ToolRun text = kmfinfo({path});
    EXPECT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("  toc: 1024 slots allocated, 1024 used\n"), std::string::npos);
    const std::string entries =
        "  toc entries: 0 0 0 0 0 0 0 0 ... 184 184 184 184 (first 8 and last 4 of 1024)\n";
    EXPECT_NE(text.out.find(entries), std::string::npos) << text.out;

    EXPECT_NE(text.out.find("toc entries at frame starts: 1024 of 1024\n"), std::string::npos);
    JsonValue doc = parsed(kmfinfo({"--json", path}).out);
    ASSERT_EQ(doc["header"]["toc"].items.size(), 1024u);
    EXPECT_EQ(doc["header"]["toc"][1023].number, 184);

    // A TOC entry that points between frames is counted out.
    std::vector<uint8_t> bytes = makeSampleFile({.metadata = "", .tocSlots = 3}).bytes;
    bytes[28 + 4] = 79; // slot 1: 78 -> 79
    ToolRun off = kmfinfo({write("offtoc.kmf", bytes)});
    EXPECT_EQ(off.code, 0);
    EXPECT_NE(off.out.find("toc entries at frame starts: 2 of 3\n"), std::string::npos) << off.out;
}

TEST_F(KmfInfoTest, FileWithoutHeader)
{
    std::string path = write("bare.kmf", makeSampleFile({.withHeader = false}).bytes);
    ToolRun text = kmfinfo({path});
    EXPECT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("file header: none\n"), std::string::npos);
    EXPECT_NE(text.out.find("stream (first sync frame, at byte 0):"), std::string::npos);
    JsonValue doc = parsed(kmfinfo({"--json", path}).out);
    EXPECT_TRUE(doc["header"].isNull());
    EXPECT_TRUE(doc.has("header"));

    std::string empty = write("empty.kmf", {});
    ToolRun none = kmfinfo({"--json", empty});
    EXPECT_EQ(none.code, 0);
    EXPECT_TRUE(parsed(none.out)["stream"].isNull());
}

TEST_F(KmfInfoTest, UsageErrorsAndUnreadableFilesExitTwo)
{
    std::string path = write("small.kmf", makeSampleFile().bytes);
    const std::vector<std::vector<std::string>> usageErrors = {
        {}, {"--bogus", path}, {path, path}, {"--json"}, {"-x"},
    };
    for (const auto& args : usageErrors) {
        ToolRun r = kmfinfo(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find(kKmfInfoUsage), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    ToolRun help = kmfinfo({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.out, kKmfInfoUsage);

    ToolRun missing = kmfinfo({m_dir.file("missing.kmf")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("missing.kmf"), std::string::npos);
    ToolRun folder = kmfinfo({m_dir.path().string()});
    EXPECT_EQ(folder.code, 2);
    EXPECT_NE(folder.err.find("not a regular file"), std::string::npos);

    // "--" ends the options, so a file may start with a dash.
    write("-odd.kmf", makeSampleFile().bytes);
    EXPECT_EQ(kmfinfo({"--", m_dir.file("-odd.kmf")}).code, 0);
}

TEST(JsonWriter, EscapesStringsAndNestsContainers)
{
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"q\"b\\s/", "\"q\\\"b\\\\s/\""},
        {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {std::string("\0\x1f\x7f", 3), "\"\\u0000\\u001f\\u007f\""},
        {"\xc3\xa9\xe2\x82\xac", "\"\xc3\xa9\xe2\x82\xac\""},
        {"\xc3", "\"\\ufffd\""},
        {"\xe2\x82", "\"\\ufffd\\ufffd\""},
        {"\x80", "\"\\ufffd\""},
        {"\xef\xbf\xbf", "\"\xef\xbf\xbf\""},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        JsonWriter::writeString(out, c.in);
        EXPECT_EQ(out.str(), c.out);
    }

    std::ostringstream out;
    JsonWriter json(out);
    json.beginObject();
    json.key("a");
    json.beginArray(true);
    json.value(1);
    json.value(-2.5);
    json.value(std::numeric_limits<double>::infinity());
    json.beginObject();
    json.key("n");
    json.null();
    json.endObject();
    json.endArray();
    json.key("b");
    json.beginArray();
    json.endArray();
    json.key("c");
    json.value(30000.0 / 1001);
    json.key("d");
    json.value(true);
    json.endObject();
    EXPECT_EQ(
        out.str(),
        "{\n  \"a\": [1, -2.5, null, {\"n\": null}],\n  \"b\": [],\n  \"c\": 29.97002997002997,\n  "
        "\"d\": true\n}\n");
    JsonValue v;
    std::string error;
    EXPECT_TRUE(parseJson(out.str(), v, error)) << error;
    EXPECT_EQ(v["c"].number, 30000.0 / 1001);
}
