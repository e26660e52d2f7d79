// Fast paths of the picture stage, bit for bit equal to VideoReference:
// per-column tables built once per geometry, source rows reached through a
// row-pointer table (so plain deinterlace copies nothing), the high-quality
// blend written straight into the destination when no resize follows, and
// SSE2 / SSE4.1 / AVX2 inner loops where the processor has them.
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
    std::vector<uint32_t> areaWeightSums;      // area: weight sum of every column of a row
    std::vector<uint32_t> areaFirstRow0;       // area: first column's weight in row 0, per column
    std::vector<uint32_t> areaFirstLater;      // area: the same in rows 1 .. ny - 1
    std::vector<uint32_t> areaLaterSum;        // area: their sum per column
    std::vector<double> areaInverse;           // area: their reciprocals (0: no weight)
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

#ifdef MOXEL_X86
// AVX2: the same 32-bit sums, and per destination row one reciprocal of
// every column's weight sum, four columns per divide, instead of a divide
// per pixel. A quotient below 256 taken as trunc(sum * (1 / wsum) + 2^-32)
// is exact: the two roundings move it by less than 2^-43, while a fraction
// that is not 0 is at least 1 / wsum > 2^-24 and at most 1 - 1 / wsum.
// Footprints of up to 4 x 4 pixels get their loops unrolled (NX, NY); 0
// means any size up to 256 pixels.
__attribute__((target("avx2"))) inline __m128i widen32(const uint8_t* p)
{
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(load32(p))));
}

// What one destination row of the area average needs besides the source
// rows: every source row's weight, the weight of its last column, and per
// column the first column's weight in every row (row 0's changes from row
// to row, the others only with the column) and 1 / the weight sum.
struct AreaRow {
    const uint32_t* wy;
    const uint32_t* wl;
    const uint32_t* firstRow0;  // [c]
    const uint32_t* firstLater; // [(i - 1) * outW + c], rows 1 .. ny - 1
    const double* inv;          // [c]; 0 when the footprint has no weight
};

// Two source rows' pixels at p and q, four 32-bit lanes each.
__attribute__((target("avx2"))) inline __m256i widenPair(const uint8_t* p, const uint8_t* q)
{
    return _mm256_cvtepu8_epi32(_mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(load32(p))),
                                                   _mm_cvtsi32_si128(static_cast<int>(load32(q)))));
}

__attribute__((target("avx2"))) inline __m256i splitWeights(uint32_t low, uint32_t high)
{
    return _mm256_set_m128i(_mm_set1_epi32(static_cast<int>(high)),
                            _mm_set1_epi32(static_cast<int>(low)));
}

// The rows go in pairs, one per 128-bit half, so that one multiply serves
// two source pixels.
template <int NX, int NY>
__attribute__((target("avx2"))) void areaRowAvx2(const Workspace& ws, const uint8_t* const* rows,
                                                 const AreaShape& s, const AreaRow& a, uint8_t* out,
                                                 int outW)
{
    const int nx = NX ? NX : s.nx, ny = NY ? NY : s.ny;
    const int pairs = ny / 2;
    __m256i wyPair[128], wlPair[128];
    for (int k = 0; k < pairs; ++k) {
        wyPair[k] = splitWeights(a.wy[2 * k], a.wy[2 * k + 1]);
        wlPair[k] = splitWeights(a.wl[2 * k], a.wl[2 * k + 1]);
    }
    const __m128i wyOdd = _mm_set1_epi32(static_cast<int>(a.wy[ny - 1]));
    const __m128i wlOdd = _mm_set1_epi32(static_cast<int>(a.wl[ny - 1]));
    const uint32_t* firstRow0 = a.firstRow0;
    const uint32_t* firstLater = a.firstLater;
    const double* inv = a.inv;
    const int32_t* cols = ws.nearestCol.data();
    const __m128i flip = _mm_set1_epi32(INT32_MIN);
    const __m256d unflip = _mm256_set1_pd(2147483648.0);
    const __m256d nudge = _mm256_set1_pd(1.0 / 4294967296.0);
    // The first column's weight of source row i for column c.
    auto firstWeight = [&](int i, int c) {
        return i == 0 ? firstRow0[c] : firstLater[static_cast<size_t>(i - 1) * outW + c];
    };
    for (int c = 0; c < outW; ++c) {
        const size_t base = static_cast<size_t>(cols[c]) * 4;
        __m256i acc2 = _mm256_setzero_si256();
        for (int k = 0; k < pairs; ++k) {
            const uint8_t* p = rows[2 * k] + base;
            const uint8_t* q = rows[2 * k + 1] + base;
            acc2 = _mm256_add_epi32(
                acc2, _mm256_mullo_epi32(widenPair(p, q), splitWeights(firstWeight(2 * k, c),
                                                                       firstWeight(2 * k + 1, c))));
            if (nx >= 2) {
                if (nx >= 3) {
                    __m256i mid = widenPair(p + 4, q + 4);
                    for (int j = 2; j < nx - 1; ++j)
                        mid = _mm256_add_epi32(mid, widenPair(p + j * 4, q + j * 4));
                    acc2 = _mm256_add_epi32(acc2, _mm256_mullo_epi32(mid, wyPair[k]));
                }
                acc2 = _mm256_add_epi32(
                    acc2,
                    _mm256_mullo_epi32(widenPair(p + (nx - 1) * 4, q + (nx - 1) * 4), wlPair[k]));
            }
        }
        __m128i acc =
            _mm_add_epi32(_mm256_castsi256_si128(acc2), _mm256_extracti128_si256(acc2, 1));
        if (ny % 2) {
            const uint8_t* p = rows[ny - 1] + base;
            acc = _mm_add_epi32(acc, _mm_mullo_epi32(widen32(p), _mm_set1_epi32(static_cast<int>(
                                                                     firstWeight(ny - 1, c)))));
            if (nx >= 2) {
                if (nx >= 3) {
                    __m128i mid = widen32(p + 4);
                    for (int j = 2; j < nx - 1; ++j)
                        mid = _mm_add_epi32(mid, widen32(p + j * 4));
                    acc = _mm_add_epi32(acc, _mm_mullo_epi32(mid, wyOdd));
                }
                acc = _mm_add_epi32(acc, _mm_mullo_epi32(widen32(p + (nx - 1) * 4), wlOdd));
            }
        }
        if (inv[c] == 0.0) { // no weight at all: the footprint's first pixel
            std::memcpy(out + c * 4, rows[0] + base, 4);
            continue;
        }
        // Unsigned lanes to doubles: flip the sign bit, convert, add it back.
        const __m256d sums = _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(acc, flip)), unflip);
        const __m128i q =
            _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_mul_pd(sums, _mm256_set1_pd(inv[c])), nudge));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
        store32(out + c * 4, static_cast<uint32_t>(_mm_cvtsi128_si32(bytes)));
    }
}

using AreaRowFn = void (*)(const Workspace&, const uint8_t* const*, const AreaShape&,
                           const AreaRow&, uint8_t*, int);

template <int NX> AreaRowFn areaRowFor(int ny)
{
    switch (ny) {
    case 1:
        return &areaRowAvx2<NX, 1>;
    case 2:
        return &areaRowAvx2<NX, 2>;
    case 3:
        return &areaRowAvx2<NX, 3>;
    case 4:
        return &areaRowAvx2<NX, 4>;
    default:
        return &areaRowAvx2<0, 0>;
    }
}

AreaRowFn areaRowFor(int nx, int ny)
{
    switch (nx) {
    case 1:
        return areaRowFor<1>(ny);
    case 2:
        return areaRowFor<2>(ny);
    case 3:
        return areaRowFor<3>(ny);
    case 4:
        return areaRowFor<4>(ny);
    default:
        return &areaRowAvx2<0, 0>;
    }
}

__attribute__((target("avx2"))) void areaAverageAvx2(Workspace& ws, uint8_t* dst,
                                                     const FrameGeometry& g)
{
    const AreaShape s = areaShape(g);
    const AreaRowFn row = areaRowFor(s.nx, s.ny);
    const size_t outW = static_cast<size_t>(g.outW);
    uint32_t wy[256], wl[256];
    // Rows 1 .. ny - 1 weigh the same in every destination row.
    areaRowWeights(0, s.ny, s.lastY, wy);
    ws.areaFirstLater.resize(outW * static_cast<size_t>(s.ny - 1));
    ws.areaLaterSum.assign(outW, 0);
    for (int i = 1; i < s.ny; ++i)
        for (size_t c = 0; c < outW; ++c) {
            const uint32_t w = (ws.areaFirstX[c] * wy[i]) >> 16;
            ws.areaFirstLater[(i - 1) * outW + c] = w;
            ws.areaLaterSum[c] += w;
        }
    ws.areaFirstRow0.resize(outW + 4);
    ws.areaWeightSums.resize(outW + 4);
    ws.areaInverse.resize(outW + 4);
    uint32_t* first = ws.areaFirstRow0.data();
    uint32_t* wsum = ws.areaWeightSums.data();
    double* inv = ws.areaInverse.data();
    const AreaRow a{wy, wl, first, ws.areaFirstLater.data(), inv};
    int32_t y = g.y0 * 65536;
    for (int r = 0; r < g.outH; ++r, y += g.ystep) {
        areaRowWeights(y, s.ny, s.lastY, wy);
        // The weights of everything but the first column of row 0.
        uint32_t rest = 0;
        for (int i = 0; i < s.ny; ++i) {
            wl[i] = static_cast<uint32_t>((uint64_t{s.lastX} * wy[i]) >> 16);
            if (s.nx >= 2)
                rest += static_cast<uint32_t>(s.nx - 2) * wy[i] + wl[i];
        }
        const uint32_t wy0 = wy[0];
        for (size_t c = 0; c < outW; ++c) {
            first[c] = (ws.areaFirstX[c] * wy0) >> 16;
            wsum[c] = first[c] + ws.areaLaterSum[c] + rest;
        }
        for (size_t c = 0; c < outW; c += 4) {
            // Weight sums stay below 2^24, so the signed conversion is exact.
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(wsum + c));
            const __m256d d = _mm256_div_pd(_mm256_set1_pd(1.0), _mm256_cvtepi32_pd(w));
            // No weight at all gives 0, which the row takes as "copy".
            const __m256d none =
                _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_cmpeq_epi32(w, _mm_setzero_si128())));
            _mm256_storeu_pd(inv + c, _mm256_andnot_pd(none, d));
        }
        row(ws, ws.rows.data() + (y >> 16), s, a, dst + static_cast<size_t>(r) * outW * 4, g.outW);
    }
}
#endif

void areaAverage(Workspace& ws, uint8_t* dst, const FrameGeometry& g)
{
#ifdef MOXEL_X86
    const AreaShape s = areaShape(g);
    const int64_t pixels = int64_t{s.nx} * s.ny;
    if (cpuHasAvx2() && pixels <= 256) {
        areaAverageAvx2(ws, dst, g);
        return;
    }
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

size_t processingScratchBytes(int inW, int inH, const EncodingProfile& profile)
{
    if (profile.deinterlace != Deinterlace::HighQuality || inW <= 0 || inH < 3)
        return 0;
    return static_cast<size_t>(inW) * static_cast<size_t>(inH) * 4;
}

void processFrame(uint8_t* src, uint8_t* dst, int inW, int inH, int outW, int outH,
                  uint8_t* scratch, const EncodingProfile& profile)
{
    processFrameFast(src, dst, inW, inH, outW, outH, scratch, profile,
                     packedIntegerFlag() ? BilinearFormula::Packed : BilinearFormula::Table);
}

} // namespace moxel
