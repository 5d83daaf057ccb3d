// Three version numbers "a.b.c", as read leniently from texts that may or may
// not hold a version.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace nuvrel {

using VersionTriple = std::array<std::uint64_t, 3>;

// Splits `text` at every "." and converts the first three parts as unsigned
// decimal numbers (a leading "+" is accepted, a leading "-" negates modulo
// 2^64); missing parts are 0 and further parts are ignored. Never throws: if
// any used part does not convert (empty, or not a number), the result is
// 0.0.0, which callers treat as "no version".
VersionTriple extractVersionTriple(const std::string& text) noexcept;

// "a.b.c" in decimal.
std::string toString(const VersionTriple& triple);

// True when any of the numbers is non-zero.
bool isSet(const VersionTriple& triple) noexcept;

}  // namespace nuvrel
