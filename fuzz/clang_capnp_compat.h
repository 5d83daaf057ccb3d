// Forced into every translation unit of the fuzz build. Cap'n Proto 0.9's
// blob.h compares `const char*` with kj::StringPtr, which clang rejects in
// C++20 (GCC accepts it through a rewritten candidate). These overloads,
// found by argument-dependent lookup, make the comparison explicit.
#pragma once

#include <kj/string.h>

namespace kj {

inline bool operator==(const char* a, const StringPtr& b) { return b == StringPtr(a); }
inline bool operator!=(const char* a, const StringPtr& b) { return !(b == StringPtr(a)); }

}  // namespace kj
