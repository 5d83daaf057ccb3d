// A value of T that only converts explicitly, told apart from other values of
// T by its Tag: `TypedValue<bool, AutoLaunchTag>` cannot be passed where
// another flag is expected.
#pragma once

#include <utility>

namespace nuvrel {

template <typename T, typename Tag>
class TypedValue {
 public:
  constexpr TypedValue() = default;
  constexpr explicit TypedValue(T value) : value_(std::move(value)) {}

  constexpr const T& value() const noexcept { return value_; }
  constexpr explicit operator const T&() const noexcept { return value_; }

  friend constexpr bool operator==(const TypedValue&, const TypedValue&) = default;

 private:
  T value_{};
};

}  // namespace nuvrel
