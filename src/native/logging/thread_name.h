// Names of threads as the operating system and the log records see them.
#pragma once

#include <string>

namespace nuvrel {

// Names the calling thread: its log records carry the whole name as "tname",
// the operating system gets the first 15 characters (its limit) and
// `currentThreadName` returns the whole name. Never throws; a failure is
// logged.
void setThreadName(const std::string& name) noexcept;

// The name given with setThreadName on this thread, else the operating
// system's name of the thread, else the empty string.
std::string currentThreadName();

namespace logging::detail {
// Sets only the "tname" attribute of the calling thread's records.
void setThreadNameAttribute(const std::string& name);
// True when the calling thread's records carry a "tname".
bool hasThreadNameAttribute();
}  // namespace logging::detail

}  // namespace nuvrel
