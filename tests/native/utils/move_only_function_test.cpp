#include "utils/move_only_function.h"

#include <gtest/gtest.h>
#include <kj/memory.h>

#include <memory>
#include <optional>
#include <string>

namespace nuvrel::utils::ts {
namespace {

TEST(MoveOnlyFunction, EmptyFunctionsThrowBadOptionalAccess) {
  MoveOnlyFunction<int(int)> defaulted;
  MoveOnlyFunction<int(int)> fromNull(nullptr);
  MoveOnlyFunction<int(int)> source([](int x) { return x; });
  MoveOnlyFunction<int(int)> target(std::move(source));

  for (auto* function : {&defaulted, &fromNull, &source}) {
    EXPECT_FALSE(*function);
    EXPECT_THROW((*function)(1), std::bad_optional_access);
  }
  EXPECT_EQ(target(7), 7);
}

TEST(MoveOnlyFunction, HoldsMoveOnlyStateAndPassesArgumentsThrough) {
  auto owned = std::make_unique<std::string>("held");
  MoveOnlyFunction<std::string(std::unique_ptr<std::string>&&, const std::string&)> function(
      [owned = std::move(owned)](std::unique_ptr<std::string>&& taken, const std::string& suffix) {
        return *owned + "/" + *taken + suffix;
      });
  EXPECT_EQ(function(std::make_unique<std::string>("arg"), "!"), "held/arg!");
}

TEST(MoveOnlyFunction, HoldsKjObjectsAndReleasesCapturesOnResetAndAssignment) {
  auto released = std::make_shared<int>(0);
  struct Tracker {
    explicit Tracker(std::shared_ptr<int> c) : count(std::move(c)) {}
    ~Tracker() { ++*count; }
    std::shared_ptr<int> count;
  };
  // A kj::Own has a noexcept(false) destructor; it must still be capturable.
  MoveOnlyFunction<void()> function(
      [tracker = kj::heap<Tracker>(released)]() mutable { (void)tracker; });
  function.reset();
  EXPECT_EQ(*released, 1);
  EXPECT_FALSE(function);

  function = [tracker = kj::heap<Tracker>(released)]() {};
  function = [tracker = kj::heap<Tracker>(released)]() {};
  EXPECT_EQ(*released, 2);  // the first assigned one went on the second assignment
  function = nullptr;
  EXPECT_EQ(*released, 3);
}

}  // namespace
}  // namespace nuvrel::utils::ts
