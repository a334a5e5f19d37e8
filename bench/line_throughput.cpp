#include "bench/line_throughput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "engine/rewrite_line.h"
#include "engine/rewrite_stream.h"

LineSlice LoadLineSlice(const std::string& path, std::size_t max_bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("Cannot open " + path + ": " + std::strerror(errno));
    }
    LineSlice slice;
    slice.bytes.resize(max_bytes);
    in.read(&slice.bytes[0], static_cast<std::streamsize>(max_bytes));
    slice.bytes.resize(static_cast<std::size_t>(in.gcount()));
    const std::size_t last_end = slice.bytes.rfind('\n');
    slice.bytes.resize(last_end == std::string::npos ? 0 : last_end + 1);

    const std::string_view all = slice.bytes;
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = all.find('\n', start);
        std::size_t length = end - start;
        if (length > 0 && all[end - 1] == '\r') {
            --length;
        }
        slice.lines.push_back(all.substr(start, length));
        slice.line_bytes += length;
        start = end + 1;
    }
    return slice;
}

namespace {

// The slice as a file: what a run reads, from memory.
class SliceFile : public ReadableFile {
  public:
    explicit SliceFile(std::string_view bytes) : m_bytes(bytes) {}
    Status Read(char* buffer, std::size_t capacity, std::size_t* got) override {
        *got = std::min(capacity, m_bytes.size() - m_at);
        std::memcpy(buffer, m_bytes.data() + m_at, *got);
        m_at += *got;
        return Status::OK();
    }
    Status Close() override { return Status::OK(); }

  private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

// Takes what a run writes and keeps a little of it, so that nothing can be left out as unused.
class CountingFile : public WritableFile {
  public:
    Status Append(const char* data, std::size_t size) override {
        checksum += size + (size > 0 ? static_cast<unsigned char>(data[size - 1]) : 0);
        return Status::OK();
    }
    Status Sync() override { return Status::OK(); }
    Status Close() override { return Status::OK(); }
    std::uint64_t checksum = 0;
};

}  // namespace

namespace {

// The median rate of `passes` runs of `run`, which returns how many megabytes it went through.
template <typename Run>
double MedianRate(int passes, Run run) {
    std::vector<double> rates;
    for (int pass = 0; pass < passes; ++pass) {
        const auto started = std::chrono::steady_clock::now();
        const double megabytes = run();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        rates.push_back(megabytes / seconds);
    }
    std::sort(rates.begin(), rates.end());
    return rates[rates.size() / 2];
}

}  // namespace

double MeasureRewriteRate(const LineSlice& slice, const SyncSettings& settings, int passes) {
    // Folded into a volatile so that the compiler cannot drop the rewriting as unused.
    std::uint64_t checksum = 0;
    const double rate = MedianRate(passes, [&slice, &settings, &checksum]() {
        LineRewriter rewriter(settings);
        const auto take = [&checksum, &rewriter](std::size_t ready) {
            for (std::size_t i = 0; i < ready; ++i) {
                const std::string_view out = rewriter.Line(i);
                checksum += out.size() + (out.empty() ? 0 : static_cast<unsigned char>(out.back()));
            }
        };
        for (const std::string_view line : slice.lines) {
            take(rewriter.Feed(line));
        }
        take(rewriter.Finish());
        return static_cast<double>(slice.line_bytes) / 1e6;
    });
    volatile std::uint64_t sink = checksum;
    (void)sink;
    return rate;
}

double MeasureTextPathRate(const LineSlice& slice, const SyncSettings& settings, int passes) {
    std::uint64_t checksum = 0;
    const double rate = MedianRate(passes, [&slice, &settings, &checksum]() {
        LineRewriter rewriter(settings);
        SliceFile input(slice.bytes);
        CountingFile output;
        if (!RewriteStream(input, "bench.srt", output, rewriter).ok()) {
            throw std::runtime_error("the in-memory run failed");
        }
        checksum += output.checksum;
        return static_cast<double>(slice.bytes.size()) / 1e6;
    });
    volatile std::uint64_t sink = checksum;
    (void)sink;
    return rate;
}
