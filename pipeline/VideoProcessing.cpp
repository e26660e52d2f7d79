// Fast paths of the picture stage, bit for bit equal to VideoReference:
// per-column tables built once per geometry, source rows reached through a
// row-pointer table (so plain deinterlace copies nothing), the high-quality
// blend written straight into the destination when no resize follows, and
// SSE2 / SSE4.1 inner loops where the processor has them.
#include "pipeline/VideoProcessing.h"

#include "pipeline/PixelWords.h"
#include "profiles/EncodingProfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MOXEL_X86 1
#endif

namespace moxel {
namespace {

using pixel::avg;
using pixel::load32;
using pixel::store32;

// Per-thread tables for the last geometry seen; the vectors only grow, so a
// source that keeps its geometry allocates nothing after its first picture.
struct Workspace {
    FrameGeometry key;
    bool haveKey = false;
    std::vector<const uint8_t*> rows;          // source row pointers after deinterlace
    std::vector<int32_t> nearestCol;           // x(c) >> 16
    std::vector<int32_t> offsetA;              // bilinear: byte offset of p00's column
    std::vector<int32_t> offsetB;              // bilinear: byte offset of p01's column
    std::vector<uint16_t> weightA;             // bilinear: 256 - fx, four lanes per column
    std::vector<uint16_t> weightB;             // bilinear: fx, four lanes per column
    std::vector<uint32_t> areaFirstX;          // area: weight of the first column of each footprint
    std::vector<uint32_t> areaRowWeightBuffer; // area: weights of one footprint's rows
    std::vector<uint16_t> lineTop;             // bilinear: horizontally filtered source rows
    std::vector<uint16_t> lineBottom;
};

thread_local Workspace t_workspace;

bool sameGeometry(const FrameGeometry& a, const FrameGeometry& b)
{
    return a.inW == b.inW && a.inH == b.inH && a.outW == b.outW && a.outH == b.outH &&
           a.x0 == b.x0 && a.y0 == b.y0 && a.cw == b.cw && a.ch == b.ch && a.path == b.path;
}

void buildTables(Workspace& ws, const FrameGeometry& g)
{
    if (ws.haveKey && sameGeometry(ws.key, g))
        return;
    ws.nearestCol.resize(g.outW);
    int32_t x = g.x0 * 65536;
    for (int c = 0; c < g.outW; ++c, x += g.xstep)
        ws.nearestCol[c] = x >> 16;
    if (g.path == ResizePath::Bilinear) {
        ws.offsetA.resize(g.outW);
        ws.offsetB.resize(g.outW);
        ws.weightA.resize(static_cast<size_t>(g.outW) * 4);
        ws.weightB.resize(static_cast<size_t>(g.outW) * 4);
        const int32_t lastFull = (g.inW - 2) * 65536;
        x = g.x0 * 65536;
        for (int c = 0; c < g.outW; ++c, x += g.xstep) {
            const bool pastLast = x > lastFull;
            const int sx = pastLast ? std::max(g.inW - 2, 0) : x >> 16;
            const int fx = pastLast ? 255 : (x >> 8) & 0xFF;
            ws.offsetA[c] = sx * 4;
            ws.offsetB[c] = std::min(sx + 1, g.inW - 1) * 4;
            for (int k = 0; k < 4; ++k) {
                ws.weightA[c * 4 + k] = static_cast<uint16_t>(256 - fx);
                ws.weightB[c * 4 + k] = static_cast<uint16_t>(fx);
            }
        }
        ws.lineTop.resize(static_cast<size_t>(g.outW) * 4 + 8);
        ws.lineBottom.resize(static_cast<size_t>(g.outW) * 4 + 8);
    }
    if (g.path == ResizePath::AreaAverage) {
        ws.areaFirstX.resize(g.outW);
        x = g.x0 * 65536;
        for (int c = 0; c < g.outW; ++c, x += g.xstep)
            ws.areaFirstX[c] = 65535u - (x & 0xFFFF);
    }
    ws.key = g;
    ws.haveKey = true;
}

// ---- deinterlace rows -------------------------------------------------

void avgRow(const uint8_t* a, const uint8_t* b, uint8_t* out, int pixels)
{
    int i = 0;
#ifdef MOXEL_X86
    const __m128i mask = _mm_set1_epi8(0x7F);
    for (; i + 4 <= pixels; i += 4) {
        const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i * 4));
        const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i * 4));
        const __m128i v = _mm_add_epi8(_mm_and_si128(_mm_srli_epi16(pa, 1), mask),
                                       _mm_and_si128(_mm_srli_epi16(pb, 1), mask));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * 4), v);
    }
#endif
    for (; i < pixels; ++i)
        store32(out + i * 4, avg(load32(a + i * 4), load32(b + i * 4)));
}

// avg(avg(next, prev), cur): the 1-2-1 blend of the high-quality mode.
void blendRow(const uint8_t* prev, const uint8_t* cur, const uint8_t* next, uint8_t* out,
              int pixels)
{
    int i = 0;
#ifdef MOXEL_X86
    const __m128i mask = _mm_set1_epi8(0x7F);
    auto halve = [mask](__m128i v) { return _mm_and_si128(_mm_srli_epi16(v, 1), mask); };
    for (; i + 4 <= pixels; i += 4) {
        const __m128i pp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i * 4));
        const __m128i pc = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + i * 4));
        const __m128i pn = _mm_loadu_si128(reinterpret_cast<const __m128i*>(next + i * 4));
        const __m128i outer = _mm_add_epi8(halve(pn), halve(pp));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * 4),
                         _mm_add_epi8(halve(outer), halve(pc)));
    }
#endif
    for (; i < pixels; ++i)
        store32(out + i * 4,
                avg(avg(load32(next + i * 4), load32(prev + i * 4)), load32(cur + i * 4)));
}

// High-quality deinterlaced row y, columns [x0, x0 + pixels), into out.
void deinterlacedRow(const uint8_t* pic, int w, int h, int y, int x0, int pixels, uint8_t* out)
{
    const size_t stride = static_cast<size_t>(w) * 4;
    auto row = [&](int yy) { return pic + yy * stride + static_cast<size_t>(x0) * 4; };
    if (y == 0)
        avgRow(row(0), row(1), out, pixels);
    else if (y == h - 1)
        avgRow(row(h - 2), row(h - 1), out, pixels);
    else
        blendRow(row(y - 1), row(y), row(y + 1), out, pixels);
}

// ---- resize paths -------------------------------------------------------

void exactCopy(const Workspace& ws, uint8_t* dst, const FrameGeometry& g, const uint8_t* contiguous)
{
    const size_t rowBytes = static_cast<size_t>(g.cw) * 4;
    if (contiguous && g.x0 == 0 && g.cw == g.inW) {
        std::memcpy(dst, contiguous + static_cast<size_t>(g.y0) * rowBytes, rowBytes * g.ch);
        return;
    }
    for (int r = 0; r < g.outH; ++r)
        std::memcpy(dst + r * rowBytes, ws.rows[g.y0 + r] + static_cast<size_t>(g.x0) * 4,
                    rowBytes);
}

void gatherRow(const uint8_t* src, const int32_t* cols, uint8_t* out, int n)
{
    int c = 0;
    for (; c + 4 <= n; c += 4) {
        const uint32_t a = load32(src + cols[c] * 4), b = load32(src + cols[c + 1] * 4);
        const uint32_t d = load32(src + cols[c + 2] * 4), e = load32(src + cols[c + 3] * 4);
        store32(out + c * 4, a);
        store32(out + c * 4 + 4, b);
        store32(out + c * 4 + 8, d);
        store32(out + c * 4 + 12, e);
    }
    for (; c < n; ++c)
        store32(out + c * 4, load32(src + cols[c] * 4));
}

void nearest(const Workspace& ws, uint8_t* dst, const FrameGeometry& g)
{
    const size_t rowBytes = static_cast<size_t>(g.outW) * 4;
    const uint8_t* previous = nullptr;
    int32_t y = g.y0 * 65536;
    for (int r = 0; r < g.outH; ++r, y += g.ystep) {
        const uint8_t* src = ws.rows[std::min(y >> 16, g.inH - 1)];
        uint8_t* out = dst + r * rowBytes;
        if (src == previous)
            std::memcpy(out, out - rowBytes, rowBytes);
        else
            gatherRow(src, ws.nearestCol.data(), out, g.outW);
        previous = src;
    }
}

// Footprint shape shared by all destination columns (rows): the number of
// visited source pixels and the weight of the last one.
struct AreaShape {
    int nx, ny;     // visited columns and rows per footprint
    uint32_t lastX; // column weight numerator of the last column (65536 = whole)
    uint32_t lastY; // row weight of the last row
};

AreaShape areaShape(const FrameGeometry& g)
{
    AreaShape s;
    s.nx = (g.xstep + 65535) >> 16;
    s.ny = (g.ystep + 65535) >> 16;
    const int32_t remX = g.xstep - (s.nx - 1) * 65536;
    const int32_t remY = g.ystep - (s.ny - 1) * 65536;
    s.lastX = remX < 65536 ? static_cast<uint32_t>(remX) : 65536u;
    s.lastY = remY < 65536 ? static_cast<uint32_t>(remY) : 65535u;
    return s;
}

// Row weights of destination row r's footprint, in visit order.
void areaRowWeights(int32_t y, int ny, uint32_t lastY, uint32_t* wy)
{
    wy[0] = 65535u - (y & 0xFFFF);
    for (int i = 1; i < ny; ++i)
        wy[i] = i == ny - 1 ? lastY : 65535u;
}

// 64-bit sums: any footprint size.
void areaAverageWide(Workspace& ws, uint8_t* dst, const FrameGeometry& g)
{
    std::vector<uint32_t>& wyBuf = ws.areaRowWeightBuffer;
    const AreaShape s = areaShape(g);
    const int nx = s.nx, ny = s.ny;
    wyBuf.resize(ny);
    int32_t y = g.y0 * 65536;
    for (int r = 0; r < g.outH; ++r, y += g.ystep) {
        areaRowWeights(y, ny, s.lastY, wyBuf.data());
        const int sy = y >> 16;
        uint8_t* out = dst + static_cast<size_t>(r) * g.outW * 4;
        for (int c = 0; c < g.outW; ++c) {
            const size_t base = static_cast<size_t>(ws.nearestCol[c]) * 4;
            uint64_t sum[4] = {0, 0, 0, 0};
            uint64_t wsum = 0;
            for (int i = 0; i < ny; ++i) {
                const uint32_t wy = wyBuf[i];
                const uint8_t* p = ws.rows[sy + i] + base;
                for (int j = 0; j < nx; ++j, p += 4) {
                    const uint32_t w = j == 0 ? (ws.areaFirstX[c] * wy) >> 16
                                       : j == nx - 1
                                           ? static_cast<uint32_t>((uint64_t{s.lastX} * wy) >> 16)
                                           : wy;
                    for (int k = 0; k < 4; ++k)
                        sum[k] += uint64_t{p[k]} * w;
                    wsum += w;
                }
            }
            if (wsum == 0) {
                std::memcpy(out + c * 4, ws.rows[sy] + base, 4);
                continue;
            }
            for (int k = 0; k < 4; ++k)
                out[c * 4 + k] = static_cast<uint8_t>(sum[k] / wsum);
        }
    }
}

#ifdef MOXEL_X86
__attribute__((target("sse4.1"))) inline __m128i pixel32(const uint8_t* p)
{
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(load32(p))));
}

// Unsigned 32-bit lanes to doubles.
__attribute__((target("sse4.1"))) inline __m128d lowToDouble(__m128i v)
{
    const __m128i flipped = _mm_xor_si128(v, _mm_set1_epi32(INT32_MIN));
    return _mm_add_pd(_mm_cvtepi32_pd(flipped), _mm_set1_pd(2147483648.0));
}

// 32-bit sums, four bytes per SSE register, exact quotient through a
// correctly rounded double divide (the quotient is below 256 and the divisor
// below 2^24, so rounding can never reach the next integer).
__attribute__((target("sse4.1"))) void areaAverageSse41(const Workspace& ws, uint8_t* dst,
                                                        const FrameGeometry& g)
{
    const AreaShape s = areaShape(g);
    const int nx = s.nx, ny = s.ny;
    uint32_t wyBuf[256];
    int32_t y = g.y0 * 65536;
    for (int r = 0; r < g.outH; ++r, y += g.ystep) {
        areaRowWeights(y, ny, s.lastY, wyBuf);
        const int sy = y >> 16;
        const uint8_t* const* rows = ws.rows.data() + sy;
        uint8_t* out = dst + static_cast<size_t>(r) * g.outW * 4;
        for (int c = 0; c < g.outW; ++c) {
            const size_t base = static_cast<size_t>(ws.nearestCol[c]) * 4;
            const uint32_t firstX = ws.areaFirstX[c];
            __m128i acc = _mm_setzero_si128();
            uint32_t wsum = 0;
            for (int i = 0; i < ny; ++i) {
                const uint32_t wy = wyBuf[i];
                const uint8_t* p = rows[i] + base;
                const uint32_t w0 = (firstX * wy) >> 16;
                acc = _mm_add_epi32(
                    acc, _mm_mullo_epi32(pixel32(p), _mm_set1_epi32(static_cast<int>(w0))));
                wsum += w0;
                if (nx >= 2) {
                    __m128i mid = _mm_setzero_si128();
                    for (int j = 1; j < nx - 1; ++j)
                        mid = _mm_add_epi32(mid, pixel32(p + j * 4));
                    const uint32_t wl = static_cast<uint32_t>((uint64_t{s.lastX} * wy) >> 16);
                    acc = _mm_add_epi32(acc,
                                        _mm_mullo_epi32(mid, _mm_set1_epi32(static_cast<int>(wy))));
                    acc = _mm_add_epi32(acc, _mm_mullo_epi32(pixel32(p + (nx - 1) * 4),
                                                             _mm_set1_epi32(static_cast<int>(wl))));
                    wsum += static_cast<uint32_t>(nx - 2) * wy + wl;
                }
            }
            if (wsum == 0) {
                std::memcpy(out + c * 4, rows[0] + base, 4);
                continue;
            }
            const __m128d d = _mm_set1_pd(static_cast<double>(wsum));
            const __m128i q0 = _mm_cvttpd_epi32(_mm_div_pd(lowToDouble(acc), d));
            const __m128i q1 = _mm_cvttpd_epi32(_mm_div_pd(lowToDouble(_mm_srli_si128(acc, 8)), d));
            const __m128i q = _mm_unpacklo_epi64(q0, q1);
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
            store32(out + c * 4, static_cast<uint32_t>(_mm_cvtsi128_si32(bytes)));
        }
    }
}
#endif

void areaAverage(Workspace& ws, uint8_t* dst, const FrameGeometry& g)
{
#ifdef MOXEL_X86
    const AreaShape s = areaShape(g);
    const int64_t pixels = int64_t{s.nx} * s.ny;
    if (cpuHasSse41() && pixels <= 256) {
        areaAverageSse41(ws, dst, g);
        return;
    }
#endif
    areaAverageWide(ws, dst, g);
}

// Packed formula, horizontal step: line[c] = (p00 * (256 - fx) + p01 * fx) >> 8.
void filterLine(const Workspace& ws, const uint8_t* src, uint16_t* line, int n)
{
    const int32_t* a = ws.offsetA.data();
    const int32_t* b = ws.offsetB.data();
    const uint16_t* wa = ws.weightA.data();
    const uint16_t* wb = ws.weightB.data();
    int c = 0;
#ifdef MOXEL_X86
    const __m128i zero = _mm_setzero_si128();
    for (; c + 2 <= n; c += 2) {
        const __m128i pa =
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(load32(src + a[c]))),
                               _mm_cvtsi32_si128(static_cast<int>(load32(src + a[c + 1]))));
        const __m128i pb =
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(load32(src + b[c]))),
                               _mm_cvtsi32_si128(static_cast<int>(load32(src + b[c + 1]))));
        const __m128i va = _mm_unpacklo_epi8(pa, zero);
        const __m128i vb = _mm_unpacklo_epi8(pb, zero);
        const __m128i sum = _mm_add_epi16(
            _mm_mullo_epi16(va, _mm_loadu_si128(reinterpret_cast<const __m128i*>(wa + c * 4))),
            _mm_mullo_epi16(vb, _mm_loadu_si128(reinterpret_cast<const __m128i*>(wb + c * 4))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + c * 4), _mm_srli_epi16(sum, 8));
    }
#endif
    for (; c < n; ++c)
        for (int k = 0; k < 4; ++k)
            line[c * 4 + k] = static_cast<uint16_t>(
                (src[a[c] + k] * wa[c * 4 + k] + src[b[c] + k] * wb[c * 4 + k]) >> 8);
}

// Packed formula, vertical step: out = (top * (256 - fy) + bottom * fy) >> 8.
void blendLines(const uint16_t* top, const uint16_t* bottom, int fy, uint8_t* out, int lanes)
{
    int i = 0;
#ifdef MOXEL_X86
    const __m128i wt = _mm_set1_epi16(static_cast<short>(256 - fy));
    const __m128i wbv = _mm_set1_epi16(static_cast<short>(fy));
    for (; i + 16 <= lanes; i += 16) {
        auto mix = [&](int at) {
            const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + at));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + at));
            return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, wt), _mm_mullo_epi16(b, wbv)),
                                  8);
        };
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(mix(i), mix(i + 8)));
    }
#endif
    for (; i < lanes; ++i)
        out[i] = static_cast<uint8_t>(std::min((top[i] * (256 - fy) + bottom[i] * fy) >> 8, 255));
}

void bilinear(Workspace& ws, uint8_t* dst, const FrameGeometry& g)
{
    const size_t rowBytes = static_cast<size_t>(g.outW) * 4;
    const int lanes = g.outW * 4;
    uint16_t* top = ws.lineTop.data();
    uint16_t* bottom = ws.lineBottom.data();
    const uint8_t* haveTop = nullptr; // source rows the two lines hold
    const uint8_t* haveBottom = nullptr;
    bool lastRowDone = false;
    int32_t y = g.y0 * 65536;
    for (int r = 0; r < g.outH; ++r, y += g.ystep) {
        const int sy = y >> 16;
        uint8_t* out = dst + r * rowBytes;
        if (sy >= g.inH - 1) {
            // Past the last pair of rows: nearest pixel from the last row,
            // the same for every such row.
            if (lastRowDone)
                std::memcpy(out, out - rowBytes, rowBytes);
            else
                gatherRow(ws.rows[g.inH - 1], ws.nearestCol.data(), out, g.outW);
            lastRowDone = true;
            continue;
        }
        const uint8_t* wantTop = ws.rows[sy];
        const uint8_t* wantBottom = ws.rows[sy + 1];
        if (wantTop != haveTop) {
            if (wantTop == haveBottom) {
                std::swap(top, bottom);
                haveTop = haveBottom;
                haveBottom = nullptr;
            } else {
                filterLine(ws, wantTop, top, g.outW);
                haveTop = wantTop;
            }
        }
        if (wantBottom != haveBottom) {
            if (wantBottom == haveTop)
                std::memcpy(bottom, top, lanes * sizeof(uint16_t));
            else
                filterLine(ws, wantBottom, bottom, g.outW);
            haveBottom = wantBottom;
        }
        blendLines(top, bottom, (y >> 8) & 0xFF, out, lanes);
    }
}

} // namespace

void processFrameFast(uint8_t* src, uint8_t* dst, int inW, int inH, int outW, int outH,
                      uint8_t* scratch, const EncodingProfile& profile, BilinearFormula formula)
{
    FrameGeometry g;
    if (!makeFrameGeometry(inW, inH, outW, outH, profile, g))
        return;
#ifndef MOXEL_X86
    formula = BilinearFormula::Table;
#endif
    if (g.path == ResizePath::Bilinear && formula == BilinearFormula::Table) {
        // Only processors without packed integers take this formula.
        processFrameReference(src, dst, inW, inH, outW, outH, scratch, profile, formula);
        return;
    }
    Workspace& ws = t_workspace;
    buildTables(ws, g);
    const size_t stride = static_cast<size_t>(inW) * 4;
    const Deinterlace mode = inH >= 3 ? profile.deinterlace : Deinterlace::Off;
    ws.rows.resize(inH);
    const uint8_t* contiguous = src;
    for (int y = 0; y < inH; ++y)
        ws.rows[y] = src + y * stride;
    if (mode == Deinterlace::HighQuality) {
        if (g.path == ResizePath::ExactCopy) {
            // Blend straight into the destination: the copy would only move
            // the scratch rows there.
            const size_t outStride = static_cast<size_t>(g.cw) * 4;
            for (int r = 0; r < g.ch; ++r)
                deinterlacedRow(src, inW, inH, g.y0 + r, g.x0, g.cw, dst + r * outStride);
            return;
        }
        for (int y = 0; y < inH; ++y) {
            deinterlacedRow(src, inW, inH, y, 0, inW, scratch + y * stride);
            ws.rows[y] = scratch + y * stride;
        }
        contiguous = scratch;
    } else if (mode != Deinterlace::Off) {
        // Line doubling by row indirection: odd rows read the even row before.
        for (int k = 0; k < inH / 2; ++k)
            ws.rows[2 * k + 1] = ws.rows[2 * k];
        contiguous = nullptr;
    }
    switch (g.path) {
    case ResizePath::ExactCopy:
        exactCopy(ws, dst, g, contiguous);
        break;
    case ResizePath::Nearest:
        nearest(ws, dst, g);
        break;
    case ResizePath::AreaAverage:
        areaAverage(ws, dst, g);
        break;
    case ResizePath::Bilinear:
        bilinear(ws, dst, g);
        break;
    }
}

void processFrame(uint8_t* src, uint8_t* dst, int inW, int inH, int outW, int outH,
                  uint8_t* scratch, const EncodingProfile& profile)
{
    processFrameFast(src, dst, inW, inH, outW, outH, scratch, profile,
                     packedIntegerFlag() ? BilinearFormula::Packed : BilinearFormula::Table);
}

} // namespace moxel
