# Reads `perf script -F tid,ip,sym,dso` output of a run with call stacks and
# prints the share of samples per stage of a job, then per thread. A sample's
# stage comes from the functions on its stack (moxel's own first, then the
# FFmpeg libraries' exported entry points, then the library of the leaf).
# Used by scripts/profile-job.

function stage(stack, leafDso, thread) {
    if (stack ~ /_dl_start|_dl_map_object|dl_open|StreamDecoder::open|DecoderSource::open|avformat_find_stream_info|avformat_open_input|CodecPluginSet|avcodec_open2|avformat_write_header/)
        return "start-up (libraries, probing, opening coders)"
    if (stack ~ /AvVideoCoder/ && stack ~ /sws_/)
        return "codec: plug-in's RGBA->YUV conversion"
    if (stack ~ /AvVideoCoder|libx264|libvpx/)
        return "codec: video encoder"
    if (stack ~ /AvAudioCoder|libmp3lame/)
        return "codec: audio encoder"
    if (stack ~ /RgbPackCoder/)
        return "codec: RGB3 packing"
    if (stack ~ /PcmCoder/)
        return "codec: PCM"
    if (stack ~ /PictureConverter/)
        return "conversion to 32-bit pictures (swscale)"
    if (stack ~ /processFrame|VideoProcessing|PictureRotation/)
        return "processing (crop/resize)"
    if (stack ~ /handleAudio|AudioChain|AudioFilter|AudioResampler|SoundTimeline|AudioFrameConverter|queueAudio|getAudio/)
        return "audio conversion (filter, resample, queue)"
    if (stack ~ /avcodec_send_packet|avcodec_receive_frame|decode_simple|avcodec_decode/)
        return thread in videoThread || stack ~ /startThreads\(\)::\{lambda\(\)#1\}/ ? "decoding video" : \
               (thread in audioThread || stack ~ /startThreads\(\)::\{lambda\(\)#2\}/ ? "decoding audio" : "decoding")
    if (stack ~ /StreamDecoder::next|av_read_frame/)
        return "reading packets (demux)"
    if (stack ~ /getVideoFrame|readQueuedPicture/)
        return "handing pictures to the worker (copy)"
    if (stack ~ /KmfEncoder|OutputFile|KmfFrame|KmfBitWriter|StreamOutput|av_write_frame|av_interleaved_write_frame|write_packet|avio_|ksys_write/)
        return "writing (frames, file)"
    if (stack ~ /futex|schedule|pthread_cond|__lll_lock|nanosleep/)
        return "waiting, locks (kernel, futex)"
    # Hand-written assembly has no unwind tables, so such stacks stop at the
    # leaf: the thread tells what it was doing.
    if (thread in videoThread)
        return leafDso ~ /libswscale/ ? "conversion to 32-bit pictures (swscale)" : \
               (leafDso ~ /libavcodec/ ? "decoding video" : "other: video thread " leafName(leafDso))
    if (thread in audioThread)
        return leafDso ~ /libavcodec/ ? "decoding audio" : "other: audio thread " leafName(leafDso)
    if (thread in workerThread)
        return leafDso ~ /libswscale/ ? "codec: plug-in's RGBA->YUV conversion" : \
               (leafDso ~ /libavcodec/ ? "codec: libavcodec" : "other: worker " leafName(leafDso))
    if (stack ~ /avcodec_send_frame|avcodec_receive_packet|avcodec_encode/)
        return "codec: libavcodec encoder (ffmpeg side)"
    if (stack ~ /libswscale|sws_/)
        return "scaling (swscale, ffmpeg side)"
    if (stack ~ /libavfilter|avfilter_|av_buffersrc|av_buffersink/)
        return "filter graph (ffmpeg side)"
    if (stack ~ /libswresample|swr_/)
        return "audio resampling (swresample)"
    if (leafDso ~ /libavcodec/)
        return "decoding (codec's own threads)"
    return "other: " leafName(leafDso)
}

function leafName(path,    parts, n) {
    n = split(path, parts, "/")
    return parts[n]
}

BEGIN { RS = ""; FS = "\n" }

{
    tid = $1
    gsub(/[ \t]/, "", tid)
    stack = ""
    leafDso = ""
    fault = 0
    for (i = 2; i <= NF; ++i) {
        line = $i
        sub(/^[ \t]*[0-9a-f]+ /, "", line)
        stack = stack "|" line
        if (leafDso == "" && line !~ /kernel\.kallsyms/) {
            leafDso = line
            sub(/.*\(/, "", leafDso)
            sub(/\).*/, "", leafDso)
        }
        if (line ~ /asm_exc_page_fault/)
            fault = 1
    }
    if (stack ~ /startThreads\(\)::\{lambda\(\)#1\}/) videoThread[tid] = 1
    if (stack ~ /startThreads\(\)::\{lambda\(\)#2\}/) audioThread[tid] = 1
    if (stack ~ /runConversion|KmfEncoder|AvVideoCoder|getVideoFrame/) workerThread[tid] = 1
    tids[NR] = tid
    stacks[NR] = stack
    dsos[NR] = leafDso
    faults[NR] = fault
}

END {
    # Second pass: the thread roles are known once every sample was seen.
    for (r = 1; r <= NR; ++r) {
        s = stage(stacks[r], dsos[r], tids[r])
        if (faults[r]) s = s " [page faults]"
        count[s]++
        perThread[tids[r], s]++
        threadTotal[tids[r]]++
        stageSeen[s] = 1
        total++
    }
    if (total == 0) { print "no samples"; exit }
    printf "%8s %6s  %s\n", "samples", "share", "stage"
    cmd = "sort -nr"
    for (s in count) printf "%8d %5.1f%%  %s\n", count[s], 100 * count[s] / total, s | cmd
    close(cmd)
    printf "%8d %5.1f%%  %s\n", total, 100, "all"
    print ""
    print "per thread (samples, and its stages above 3% of the thread):"
    for (t in threadTotal) {
        line = sprintf("  %s: %d samples (%.1f%%)", t, threadTotal[t], 100 * threadTotal[t] / total)
        for (s in stageSeen)
            if (perThread[t, s] > 0.03 * threadTotal[t])
                line = line sprintf("; %s %.0f%%", s, 100 * perThread[t, s] / threadTotal[t])
        print line
    }
}
