#include "bench/result_table.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string FormatSeconds(double seconds) {
    return Format("%.3f s", seconds);
}

std::string FormatMegabytes(double megabytes) {
    return Format("%.1f MB", megabytes);
}

std::string FormatRate(double megabytes_per_second) {
    return Format("%.0f MB/s", megabytes_per_second);
}

void PrintResultTable(const std::vector<ResultRow>& rows) {
    std::size_t measure_width = 7;
    std::size_t figure_width = 6;
    std::size_t target_width = 6;
    for (const ResultRow& row : rows) {
        measure_width = std::max(measure_width, row.measure.size());
        figure_width = std::max(figure_width, row.figure.size());
        target_width = std::max(target_width, row.target.size());
    }
    const auto print = [&](const std::string& measure, const std::string& figure, const std::string& target,
                           const char* verdict) {
        std::printf("%-*s  %*s  %-*s  %s\n", static_cast<int>(measure_width), measure.c_str(),
                    static_cast<int>(figure_width), figure.c_str(), static_cast<int>(target_width), target.c_str(),
                    verdict);
    };
    print("measure", "figure", "target", "result");
    for (const ResultRow& row : rows) {
        print(row.measure, row.figure, row.target, row.target.empty() ? "" : row.passed ? "PASS" : "FAIL");
    }
}
