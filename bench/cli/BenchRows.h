// The rows of the moxel-cli / ffmpeg comparison, each the same work on both
// sides, run alternately:
//   nearest  uncompressed RGB3 + PCM 512x288 by nearest pixel vs
//            scale=512:288:flags=neighbor to bgr24 (rows bottom-up, as RGB3
//            carries them) + s16le, and both vs decoding alone (-f null)
//   area     the same by area average vs flags=area
//   vp8      VP8 + MP3 640x360 vs libvpx realtime + LAME, same rates and keys
//   h264     H.264 + AAC 1280x720 with the high-quality profile's settings at
//            speed 5 vs libx264 faster zerolatency + AAC, same rates and keys
//   jobs     20 clips of 5 s as VP8 + MP3 through one moxel-cli --jobs 2
//            (and --jobs 1) vs GNU parallel -j2 running one ffmpeg per clip;
//            memory summed over the process tree on both sides
//   memory   peak memory of the nearest-pixel job on a 10 s and a 60 s
//            1920x1080 clip: it must not grow with the source's length
// Uncompressed outputs go to /dev/null on both sides; coded ones to files in
// the bench's folder. A KMF frame holds at most 524288 bytes of picture, so
// 512x288 is the largest 16:9 uncompressed size.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace moxel::bench {

struct BenchSetup {
    std::string folder; // temporary, removed by the caller
    std::string log;    // every command's output
    std::string moxelCli;
    int runs = 3;
    int seconds = 20; // the length of the main clip
};

const std::vector<std::string>& rowNames();

// Runs the row and prints its lines; false when a clip could not be made or
// a command failed.
bool runRow(const std::string& name, const BenchSetup& setup);

} // namespace moxel::bench
