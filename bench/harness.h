// A small timing harness that runs the same way natively and under Wine.
//
// Each figure is the median over repeated samples of the time per operation;
// the first figure added is the reference, and every figure is also printed as
// a ratio to it, so results compare within one run on one machine.
//
//   bench::Harness h(argc, argv);
//   h.add("one pass over the points", [&] { ... });  // reference
//   h.add("GestureCheck", [&] { ... });
//   return h.run();
//
// Options: --quick (one short sample each: a smoke run for the test suite),
// --repeats N, --min-ms M (time per sample). A benchmark that takes samples of
// its own asks quick() how many to take and reports their median().
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// Keeps a value alive so the optimiser cannot drop the work that made it.
template <class T>
inline void keep(const T& value) {
    asm volatile("" : : "r,m"(value) : "memory");
}

// The middle sample (the upper one of an even count); 0 for none.
inline double median(std::vector<double> samples) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

class Harness {
public:
    Harness(int argc, char** argv) {
        for (int i = 1; i < argc; ++i) {
            if (!std::strcmp(argv[i], "--quick")) {
                quick_ = true;
                repeats_ = 1;
                minSeconds_ = 0.001;
            } else if (!std::strcmp(argv[i], "--repeats") && i + 1 < argc) {
                repeats_ = std::max(1, std::atoi(argv[++i]));
            } else if (!std::strcmp(argv[i], "--min-ms") && i + 1 < argc) {
                minSeconds_ = std::atof(argv[++i]) / 1000.0;
            }
        }
    }

    // `op` is one operation; `unit` names what one operation handles, for the rate column.
    void add(std::string name, std::function<void()> op, std::string unit = "op") {
        entries_.push_back({std::move(name), std::move(op), std::move(unit), 0});
    }

    // A figure measured elsewhere (for example a latency from another process),
    // in seconds per operation, reported beside the others.
    void addMeasured(std::string name, double secondsPerOp, std::string unit = "op") {
        entries_.push_back({std::move(name), nullptr, std::move(unit), secondsPerOp});
    }

    int run() {
        for (Entry& e : entries_)
            if (e.op) e.seconds = measure(e.op);
        print();
        return 0;
    }

    // Given --quick: a smoke run, not a measurement.
    bool quick() const { return quick_; }
    size_t count() const { return entries_.size(); }
    double secondsOf(size_t index) const { return entries_.at(index).seconds; }

private:
    struct Entry {
        std::string name;
        std::function<void()> op;
        std::string unit;
        double seconds;
    };

    using Clock = std::chrono::steady_clock;

    double measure(const std::function<void()>& op) {
        // Calibrate: grow the batch until one batch takes the sample time.
        long batch = 1;
        for (;;) {
            double t = timeBatch(op, batch);
            if (t >= minSeconds_ || batch >= (1L << 30)) break;
            batch *= t <= 0 ? 10 : std::max(2L, std::min(10L, static_cast<long>(minSeconds_ / t) + 1));
        }
        std::vector<double> samples;
        for (int r = 0; r < repeats_; ++r) samples.push_back(timeBatch(op, batch) / batch);
        return median(std::move(samples));
    }

    static double timeBatch(const std::function<void()>& op, long batch) {
        auto start = Clock::now();
        for (long i = 0; i < batch; ++i) op();
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    void print() const {
        if (entries_.empty()) return;
        const double ref = entries_.front().seconds;
        std::printf("%-48s %14s %16s %10s\n", "benchmark (median)", "time/op", "rate", "ratio");
        for (const Entry& e : entries_) {
            double rate = e.seconds > 0 ? 1.0 / e.seconds : 0;
            char perOp[32], perSec[48];
            formatTime(e.seconds, perOp, sizeof perOp);
            std::snprintf(perSec, sizeof perSec, "%.4g %s/s", rate, e.unit.c_str());
            std::printf("%-48s %14s %16s %9.2fx\n", e.name.c_str(), perOp, perSec,
                        ref > 0 ? e.seconds / ref : 0.0);
        }
        std::printf("(ratio: time per operation relative to \"%s\", median of %d samples)\n",
                    entries_.front().name.c_str(), repeats_);
        std::fflush(stdout);
    }

    static void formatTime(double s, char* out, size_t size) {
        if (s >= 1)
            std::snprintf(out, size, "%.3f s", s);
        else if (s >= 1e-3)
            std::snprintf(out, size, "%.3f ms", s * 1e3);
        else if (s >= 1e-6)
            std::snprintf(out, size, "%.3f us", s * 1e6);
        else
            std::snprintf(out, size, "%.1f ns", s * 1e9);
    }

    std::vector<Entry> entries_;
    bool quick_ = false;
    int repeats_ = 15;
    double minSeconds_ = 0.02;
};

}  // namespace bench
