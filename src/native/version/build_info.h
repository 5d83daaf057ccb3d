// Facts about this build of the module that are fixed when it is compiled.
#pragma once

#include <string_view>

namespace nuvrel::version {

// The package version reported as `__version__`.
inline constexpr std::string_view kModuleVersion = "4.3.0";

// The git commit of the sources the build was made from: 40 lowercase hex
// digits, or 40 zeros when the build did not come from a git checkout.
// Defined in a source file generated at build time.
const char* commitHash() noexcept;

// True when `interpreterVersion` (Python's `sys.version`, e.g. "3.11.7 (main,
// ...)") belongs to the interpreter line `builtFor` ("3.11"): it must start
// with `builtFor`, and the next character, if any, must not be a digit, so
// that "3.110" is not taken for "3.11".
bool interpreterMatches(std::string_view builtFor, std::string_view interpreterVersion) noexcept;

}  // namespace nuvrel::version
