// Base for classes whose instances may only live behind a std::shared_ptr.
#pragma once

#include <memory>
#include <utility>

namespace nuvrel::kj_asio {

// Derived declares its constructors private and befriends SharedOnly<Derived>;
// `makeShared` is then the only way to create one. `init` runs once the
// object is owned by its shared_ptr, so it may use shared_from_this().
template <typename Derived>
class SharedOnly {
 public:
  template <typename... Args>
  static std::shared_ptr<Derived> makeShared(Args&&... args) {
    std::shared_ptr<Derived> object(new Derived(std::forward<Args>(args)...));
    static_cast<SharedOnly&>(*object).init();
    return object;
  }

 protected:
  SharedOnly() = default;
  virtual ~SharedOnly() = default;
  virtual void init() {}
};

}  // namespace nuvrel::kj_asio
