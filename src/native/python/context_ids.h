// Ids and reports of the clients and servers that a context keeps on its
// worker thread. Clients and servers draw their ids from one counter per
// context, starting at 1, so an id names exactly one of them; ids are never
// reused.
#pragma once

#include <boost/system/error_code.hpp>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <variant>

#include "protocol/typed_value.h"

namespace nuvrel::python {

struct ClientIdTag {};
struct ServerIdTag {};
using ClientId = TypedValue<std::uint64_t, ClientIdTag>;
using ServerId = TypedValue<std::uint64_t, ServerIdTag>;

struct IdHash {
  template <typename Tag>
  std::size_t operator()(const TypedValue<std::uint64_t, Tag>& id) const noexcept {
    return std::hash<std::uint64_t>()(id.value());
  }
};

struct IdLess {
  template <typename Tag>
  bool operator()(const TypedValue<std::uint64_t, Tag>& a,
                  const TypedValue<std::uint64_t, Tag>& b) const noexcept {
    return a.value() < b.value();
  }
};

// What the worker reports for a new client: its id and the names of every
// method of its interface and of the interfaces it extends.
struct ClientInformation {
  ClientId id;
  std::set<std::string> methods;
};

// What the worker reports for a new server: its id and its TCP port (0 for
// a single served stream).
struct ServerInformation {
  ServerId id;
  std::uint16_t port = 0;
};

}  // namespace nuvrel::python

namespace nuvrel {

// The outcome of a synchronous worker operation: a value, or an error code
// with the message that explains it.
template <typename T, typename E = boost::system::error_code>
class Result {
 public:
  struct Error {
    E code;
    std::string message;
  };

  static Result ok(T value) { return Result(std::in_place_index<0>, std::move(value)); }
  static Result error(E code, std::string message) {
    return Result(std::in_place_index<1>, Error{code, std::move(message)});
  }

  bool hasValue() const noexcept { return content_.index() == 0; }

  // Calls onValue(T&&) or onError(const E&, const std::string&).
  template <typename OnValue, typename OnError>
  decltype(auto) visit(OnValue&& onValue, OnError&& onError) && {
    if (content_.index() == 0) {
      return onValue(std::move(std::get<0>(content_)));
    }
    auto& error = std::get<1>(content_);
    return onError(error.code, error.message);
  }

 private:
  template <std::size_t I, typename V>
  Result(std::in_place_index_t<I> index, V&& value) : content_(index, std::forward<V>(value)) {}

  std::variant<T, Error> content_;
};

}  // namespace nuvrel
