#pragma once

#include <string>

// The process's working directory, however long; empty when the system cannot tell it.
std::string CurrentDirectory();

// The separator that joins a directory and a file name on this system.
char PathSeparator();
