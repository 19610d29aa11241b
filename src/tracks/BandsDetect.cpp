#include "tracks/BandsDetect.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>
#include <thread>
#include <utility>

namespace sv {

namespace {

constexpr double FullScale2 = 32768.0 * 32768.0;
constexpr double BandEdges[BandCount][2] = {{100, 400}, {400, 1000}, {1000, 2500}};

double fromDb(double dbfs) { return FullScale2 * std::pow(10.0, dbfs / 10.0); }

// Butterworth (Q = 1/sqrt 2) low- or high-pass from the audio EQ cookbook,
// normalised: b0, b1, b2, a1, a2.
std::array<double, 5> butterworth(bool highPass, double f, double rate)
{
    // Rates far below CD quality would put an edge past Nyquist, where the
    // formulas turn unstable.
    f = std::min(f, 0.45 * rate);
    const double w0 = 2 * std::numbers::pi * f / rate;
    const double c = std::cos(w0);
    const double alpha = std::sin(w0) / (2 * std::numbers::sqrt2 / 2);
    const double a0 = 1 + alpha;
    const double b0 = (highPass ? (1 + c) : (1 - c)) / 2 / a0;
    return {b0, highPass ? -2 * b0 : 2 * b0, b0, -2 * c / a0, (1 - alpha) / a0};
}

// The three bands side by side in one vector (the fourth lane idles), so
// that the filters of all bands run as one: this loop is the whole cost of
// the pass.
using V4 = double __attribute__((vector_size(32)));

struct BandFilters {
    // A high-pass then a low-pass per lane, direct form I: the feedback
    // chain is one multiply and one add per sample.
    V4 hb0, ha1, ha2, lb0, la1, la2;
    double hx1 = 0, hx2 = 0; // the input is the same in every lane
    V4 hy1{}, hy2{}, ly1{}, ly2{};

    explicit BandFilters(double rate)
    {
        for (int b = 0; b < 4; ++b) {
            const int band = std::min(b, BandCount - 1);
            const auto h = butterworth(true, BandEdges[band][0], rate);
            const auto l = butterworth(false, BandEdges[band][1], rate);
            hb0[b] = h[0], ha1[b] = h[3], ha2[b] = h[4];
            lb0[b] = l[0], la1[b] = l[3], la2[b] = l[4];
        }
    }

    // Sum of squares of each band's output over n samples, into sums.
    [[gnu::always_inline]] inline void run(const double* x, int n, double sums[4])
    {
        V4 acc{};
        V4 hy1_ = hy1, hy2_ = hy2, ly1_ = ly1, ly2_ = ly2;
        double x1 = hx1, x2 = hx2;
        for (int i = 0; i < n; ++i) {
            // Butterworth sections have b = b0 (1, -2, 1) for the high-pass
            // and b0 (1, 2, 1) for the low-pass: the input's part is one
            // scaled sum, and the high-pass's is the same for every band.
            const double d = (x[i] + x2) - 2 * x1;
            x2 = x1;
            x1 = x[i];
            const V4 h = (hb0 * d - ha2 * hy2_) - ha1 * hy1_;
            // The low-pass's input history is the high-pass's output history.
            const V4 y = (lb0 * ((h + hy2_) + (hy1_ + hy1_)) - la2 * ly2_) - la1 * ly1_;
            hy2_ = hy1_;
            hy1_ = h;
            ly2_ = ly1_;
            ly1_ = y;
            acc += y * y;
        }
        hx1 = x1;
        hx2 = x2;
        hy1 = hy1_, hy2 = hy2_, ly1 = ly1_, ly2 = ly2_;
        for (int b = 0; b < 4; ++b)
            sums[b] = acc[b];
    }
};

double median5(double a, double b, double c, double d, double e)
{
    // Six compare-exchanges leave the median in c.
    const auto order = [](double& x, double& y) {
        const double lo = std::min(x, y);
        y = std::max(x, y);
        x = lo;
    };
    order(a, b);
    order(d, e);
    order(a, d); // a is now below three others: not the median
    order(b, e); // e is now above three others: not the median
    order(b, c);
    order(c, d);
    order(b, c);
    return c;
}


// Blocks from..to-1 into energy. The filters start fresh at block warmFrom
// (from itself, or far enough before it that their state has died out: the
// bands' filters forget within a few hundredths of a second). tick runs every
// 2048 blocks; false stops the pass. Built for AVX2 as well where the
// processor has it: the filters then run twice as fast.
__attribute__((target_clones("avx2", "default")))
bool passBlocks(const WaveSamples& samples, int D, int B, std::int64_t warmFrom, std::int64_t from, std::int64_t to,
                std::array<std::vector<double>, BandCount>& energy, const std::function<bool()>& tick)
{
    const int perBlock = B / D;
    BandFilters filters(double(samples.header().SampleRate) / D);
    // Triangular mean over 2D - 1 frames ending at the group's last frame:
    // weights D - r for the group's frames r = 0..D-1 and r for the previous
    // group's frames r = 1..D-1; m = (L + R) / 2 is carried as L + R.
    const double norm = 0.5 / (double(D) * D);
    std::int64_t carry = 0;
    std::int64_t frame = warmFrom * B;
    int l = 0, r = 0;
    std::vector<double> x(static_cast<std::size_t>(perBlock));
    // The common factors get loops of their own length, which the compiler unrolls.
    const auto decimate = [&]<int Fixed>() {
        const int d = Fixed > 0 ? Fixed : D;
        for (int j = 0; j < perBlock; ++j) {
            std::int64_t sum = 0, weighted = 0;
            for (int i = 0; i < d; ++i, ++frame) {
                samples.frame(frame, l, r);
                const int m = l + r;
                sum += m;
                weighted += std::int64_t(i) * m;
            }
            x[std::size_t(j)] = double(d * sum - weighted + carry) * norm;
            carry = weighted;
        }
    };
    for (std::int64_t k = warmFrom; k < to; ++k) {
        switch (D) {
        case 4: decimate.operator()<4>(); break;
        case 2: decimate.operator()<2>(); break;
        case 1: decimate.operator()<1>(); break;
        default: decimate.operator()<0>(); break;
        }
        double sums[4];
        filters.run(x.data(), perBlock, sums);
        if (k >= from)
            for (int b = 0; b < BandCount; ++b)
                energy[b][std::size_t(k)] = sums[b] / perBlock;
        if ((k - warmFrom + 1) % 2048 == 0 && !tick())
            return false;
    }
    return true;
}

using BandSeries = std::array<std::vector<double>, BandCount>;
using BandValues = std::array<double, BandCount>;

struct Seg {
    std::int64_t start, end; // blocks, end exclusive
};

// Clicks go (median of five, into Em), then a short mean (into S).
void smoothEnergy(const BandLevels& lv, BandSeries& Em, BandSeries& S)
{
    const std::int64_t n = lv.blocks();
    const auto N = std::size_t(n);
    const auto at = [n](std::int64_t k) { return std::size_t(std::clamp<std::int64_t>(k, 0, n - 1)); };
    for (int b = 0; b < BandCount; ++b) {
        const std::vector<double>& E = lv.energy[b];
        Em[b].resize(N);
        S[b].resize(N);
        for (std::int64_t k = 0; k < n; ++k)
            Em[b][std::size_t(k)] = median5(E[at(k - 2)], E[at(k - 1)], E[at(k)], E[at(k + 1)], E[at(k + 2)]);
        for (std::int64_t k = 0; k < n; ++k) {
            const std::int64_t a = std::max<std::int64_t>(0, k - 2), z = std::min(n - 1, k + 2);
            double sum = 0;
            for (std::int64_t i = a; i <= z; ++i)
                sum += Em[b][std::size_t(i)];
            S[b][std::size_t(k)] = sum / double(z - a + 1);
        }
    }
}

// The first and last block where any band has sound at all (digital silence
// before the tape starts must not pull the floor down); all blocks when none has.
std::pair<std::int64_t, std::int64_t> activeSpan(const BandLevels& lv)
{
    const std::int64_t n = lv.blocks();
    const double activeLevel = fromDb(-90);
    std::int64_t first = -1, last = -1;
    for (std::int64_t k = 0; k < n; ++k) {
        bool active = false;
        for (int b = 0; b < BandCount; ++b)
            active = active || lv.energy[b][std::size_t(k)] >= activeLevel;
        if (active) {
            if (first < 0)
                first = k;
            last = k;
        }
    }
    if (first < 0)
        return {0, n - 1};
    return {first, last};
}

// The noise floor of each band: a low rank of half-second means of Em over
// blocks first..last. Em is freed on the way (a long side holds a few MiB per band).
BandValues noiseFloors(BandSeries& Em, std::int64_t first, std::int64_t last)
{
    BandValues floor;
    const std::int64_t spanLength = last - first + 1;
    std::vector<double> prefix(static_cast<std::size_t>(spanLength) + 1);
    std::vector<double> means(static_cast<std::size_t>(spanLength));
    for (int b = 0; b < BandCount; ++b) {
        prefix[0] = 0;
        for (std::int64_t k = first; k <= last; ++k)
            prefix[std::size_t(k - first + 1)] = prefix[std::size_t(k - first)] + Em[b][std::size_t(k)];
        for (std::int64_t k = first; k <= last; ++k) {
            const std::int64_t a = std::max(first, k - 25), z = std::min(last, k + 24);
            means[std::size_t(k - first)] =
                (prefix[std::size_t(z - first + 1)] - prefix[std::size_t(a - first)]) / double(z - a + 1);
        }
        const auto rank = std::size_t(std::floor(0.002 * double(spanLength - 1)));
        std::nth_element(means.begin(), means.begin() + std::ptrdiff_t(rank), means.end());
        floor[b] = std::max(means[rank], fromDb(-100));
        std::vector<double>().swap(Em[b]);
    }
    return floor;
}

// Quiet blocks, and the loudest band's level above its floor in dB; a band's
// own level is needed only at a few track ends.
void classifyBlocks(const BandSeries& S, const BandValues& floor, int hiss, std::vector<char>& quiet,
                    std::vector<double>& loudest)
{
    const std::size_t N = S[0].size();
    loudest.assign(N, 0.0);
    quiet.assign(N, 1);
    const double cap = double(hiss) * 35.0 * double(hiss) * 35.0 / 2.0;
    double threshold[BandCount];
    for (int b = 0; b < BandCount; ++b)
        threshold[b] = std::min(floor[b] * std::pow(10.0, 0.8), cap);
    for (std::size_t k = 0; k < N; ++k) {
        double ratio = 0;
        for (int b = 0; b < BandCount; ++b) {
            if (!(S[b][k] < threshold[b]))
                quiet[k] = 0;
            ratio = std::max(ratio, S[b][k] / floor[b]);
        }
        loudest[k] = 10 * std::log10(ratio);
    }
}

// Gaps: quiet runs of at least minGap blocks, or touching either end; the
// segments lie between them.
std::vector<Seg> segmentsBetweenGaps(const std::vector<char>& quiet, std::int64_t minGap)
{
    std::vector<Seg> segs;
    const auto n = std::int64_t(quiet.size());
    std::int64_t segStart = -1;
    std::int64_t k = 0;
    while (k < n) {
        if (!quiet[std::size_t(k)]) {
            if (segStart < 0)
                segStart = k;
            ++k;
            continue;
        }
        std::int64_t e = k;
        while (e < n && quiet[std::size_t(e)])
            ++e;
        if (e - k >= minGap || k == 0 || e == n) {
            if (segStart >= 0)
                segs.push_back({segStart, k});
            segStart = -1;
        }
        k = e;
    }
    if (segStart >= 0)
        segs.push_back({segStart, n});
    return segs;
}

// Short segments join a neighbour at most 3 s away or go, shortest first.
void dropShortSegments(std::vector<Seg>& segs, double dt, double minTrackSeconds)
{
    for (;;) {
        std::size_t shortest = segs.size();
        for (std::size_t i = 0; i < segs.size(); ++i) {
            const double len = double(segs[i].end - segs[i].start) * dt;
            if (len < minTrackSeconds
                && (shortest == segs.size() || segs[i].end - segs[i].start < segs[shortest].end - segs[shortest].start))
                shortest = i;
        }
        if (shortest == segs.size())
            return;
        const std::size_t i = shortest;
        const std::int64_t left = i > 0 ? segs[i].start - segs[i - 1].end : -1;
        const std::int64_t right = i + 1 < segs.size() ? segs[i + 1].start - segs[i].end : -1;
        const bool useLeft = left >= 0 && (right < 0 || left <= right);
        const std::int64_t distance = useLeft ? left : right;
        if (distance >= 0 && double(distance) * dt <= 3.0) {
            const std::size_t keep = useLeft ? i - 1 : i;
            segs[keep] = {segs[keep].start, segs[keep + 1].end};
            segs.erase(segs.begin() + std::ptrdiff_t(keep + 1));
        } else {
            segs.erase(segs.begin() + std::ptrdiff_t(i));
        }
    }
}

// Edges: take in the blocks just outside that still stand above the floor.
std::vector<Seg> widenToSound(const std::vector<Seg>& segs, const std::vector<double>& loudest)
{
    const auto n = std::int64_t(loudest.size());
    std::vector<Seg> moved = segs;
    for (std::size_t i = 0; i < moved.size(); ++i) {
        const std::int64_t prevEnd = i > 0 ? moved[i - 1].end : 0;
        while (moved[i].start > prevEnd && loudest[std::size_t(moved[i].start - 1)] >= 2)
            --moved[i].start;
        const std::int64_t nextStart = i + 1 < segs.size() ? segs[i + 1].start : n;
        while (moved[i].end < nextStart && loudest[std::size_t(moved[i].end)] >= 2)
            ++moved[i].end;
    }
    return moved;
}

// A segment's end in seconds with its fade's tail: the fade continues under
// the hiss, so the end moves by the time the fade's slope would need to reach
// -78 dBFS from just above the floor (at most 2 s).
double endWithTail(const BandSeries& S, const BandValues& floor, const Seg& seg, std::int64_t n, double dt)
{
    const auto s = [&](int b, std::int64_t k) { return 10 * std::log10(S[b][std::size_t(k)] / floor[b]); };
    const std::int64_t j = seg.end;
    double end = double(j) * dt;
    if (j + 1 >= n)
        return end;
    int best = 0;
    for (int b = 1; b < BandCount; ++b)
        if (s(b, j - 1) > s(best, j - 1))
            best = b;
    const double L = 10 * std::log10(floor[best] / FullScale2) + 2;
    if (L > -78) {
        std::int64_t k1 = j - 1;
        const double stop = std::max(double(seg.start), double(j) - 5.0 / dt);
        while (double(k1) > stop && s(best, k1) < 12)
            --k1;
        const double slope = 10.0 / (double(j - k1) * dt);
        end += std::min((L + 78) / slope, 2.0);
    }
    return end;
}

} // namespace

bool ComputeBandLevels(const WaveSamples& samples, BandLevels& levels, const BandProgress& progress)
{
    levels = BandLevels();
    const int rate = int(samples.header().SampleRate);
    if (rate <= 0)
        return true;
    const int D = std::max(1, rate / 11025);
    // About 10 ms, whole decimated samples.
    const int B = std::max(D, int(std::lround(rate / 100.0)) / D * D);
    const std::int64_t blocks = samples.frames() / B;

    BandLevels out;
    out.rate = rate;
    out.decimation = D;
    out.blockFrames = B;
    out.frames = samples.frames();
    for (auto& e : out.energy)
        e.resize(std::size_t(blocks));

    // A long recording is done in two halves at once, the second starting
    // its filters two seconds early.
    const std::int64_t warm = 200;
    const std::int64_t half = blocks > 30 * warm ? blocks / 2 : blocks;
    std::atomic<std::int64_t> done{0};
    std::atomic<bool> stop{false};
    std::thread second;
    if (half < blocks)
        second = std::thread([&] {
            passBlocks(samples, D, B, half - warm, half, blocks, out.energy, [&] {
                done += 2048;
                return !stop.load();
            });
        });
    passBlocks(samples, D, B, 0, 0, half, out.energy, [&] {
        done += 2048;
        if (progress && !progress(std::min(done.load(), blocks), blocks))
            stop = true;
        return !stop.load();
    });
    if (second.joinable())
        second.join();
    if (stop)
        return false;
    if (progress)
        progress(blocks, blocks);
    levels = std::move(out);
    return true;
}

QVector<TimeSpan> BandsTracks(const BandLevels& lv, int hiss, double gapSeconds, double minTrackSeconds)
{
    QVector<TimeSpan> tracks;
    const std::int64_t n = lv.blocks();
    const double dt = lv.dt();
    if (n <= 0 || dt <= 0)
        return tracks;

    BandSeries Em, S;
    smoothEnergy(lv, Em, S);
    const auto [first, last] = activeSpan(lv);
    const BandValues floor = noiseFloors(Em, first, last);
    std::vector<char> quiet;
    std::vector<double> loudest;
    classifyBlocks(S, floor, hiss, quiet, loudest);

    std::vector<Seg> segs = segmentsBetweenGaps(quiet, std::llround(std::max(0.0, gapSeconds) / dt));
    dropShortSegments(segs, dt, minTrackSeconds);
    const std::vector<Seg> moved = widenToSound(segs, loudest);

    const double length = double(lv.frames) / lv.rate;
    for (std::size_t i = 0; i < moved.size(); ++i) {
        const double limit = i + 1 < moved.size() ? double(moved[i + 1].start) * dt : length;
        tracks.append({double(moved[i].start) * dt, std::min(endWithTail(S, floor, moved[i], n, dt), limit)});
    }
    return tracks;
}

} // namespace sv
