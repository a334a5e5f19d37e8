#pragma once

#include <string>
#include <vector>

// One figure of the benchmark and, when it has a target, whether it met it.
struct ResultRow {
    std::string measure;
    std::string figure;
    std::string target;  // empty: a reference figure without a target
    bool passed = true;
};

// Prints the rows as an aligned table to standard output.
void PrintResultTable(const std::vector<ResultRow>& rows);

// "1.234 s", "5.6 MB", "1234 MB/s": the units the table uses.
std::string FormatSeconds(double seconds);
std::string FormatMegabytes(double megabytes);
std::string FormatRate(double megabytes_per_second);
