// Names of threads as the operating system and the log records see them.
#pragma once

#include <string>

namespace nuvrel {

// Names the calling thread: the operating system gets the first 15
// characters (its limit), log records and `currentThreadName` the whole name.
// Never throws; a failure is logged.
void setThreadName(const std::string& name) noexcept;

// The name given with setThreadName on this thread, else the operating
// system's name of the thread, else the empty string.
std::string currentThreadName();

}  // namespace nuvrel
