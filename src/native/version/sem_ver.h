// Semantic versions of the session schemas: major.minor.patch. Pre-release
// and build-metadata parts are accepted by the parser but not kept.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace nuvrel {

class SemVer {
 public:
  // 0.0.0, the unset version.
  SemVer() noexcept = default;
  SemVer(std::uint64_t major, std::uint64_t minor, std::uint64_t patch) noexcept
      : major_(major), minor_(minor), patch_(patch) {}

  // The empty text (also after trimming white space) gives 0.0.0. Anything
  // else must be a full semantic version ("1.17.0", "1.2.3-rc.1+b5"; no
  // leading zeros), else an Exception "Invalid version expression:
  // '<text>'." is thrown.
  explicit SemVer(std::string_view text);

  std::uint64_t major() const noexcept { return major_; }
  std::uint64_t minor() const noexcept { return minor_; }
  std::uint64_t patch() const noexcept { return patch_; }

  // "major.minor.patch".
  std::string toString() const;
  bool isSet() const noexcept { return major_ != 0 || minor_ != 0 || patch_ != 0; }

  friend bool operator==(const SemVer&, const SemVer&) noexcept = default;
  friend auto operator<=>(const SemVer&, const SemVer&) noexcept = default;

 private:
  std::uint64_t major_ = 0;
  std::uint64_t minor_ = 0;
  std::uint64_t patch_ = 0;
};

std::ostream& operator<<(std::ostream& out, const SemVer& version);

}  // namespace nuvrel
