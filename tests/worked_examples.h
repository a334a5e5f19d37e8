#pragma once

#include <string>
#include <vector>

// The rows of data/worked_examples.txt: a line, the kelvaro-cli options, the line it must become.
struct WorkedExample {
    std::string input;
    std::vector<std::string> options;
    std::string output;
};

std::vector<WorkedExample> LoadWorkedExamples();
