#pragma once

#include <string>

#include "platform/status.h"

// Turns an errno value into a Status that names the path, with the same wording as the other backend for the kinds
// both recognise.
Status PosixError(const char* verb, const std::string& path, int error);
