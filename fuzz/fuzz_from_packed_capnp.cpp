// serialize.from_packed_capnp: packed bytes read with the value layer's
// reader limits as a struct of a probe schema, copied, then written as JSON.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "probe_schemas.h"
#include "protocol/easy_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  auto schema = nuvrel::fuzz::probeSchema(data[0]);
  std::string_view packed(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    auto message = nuvrel::EasyMessage<capnp::DynamicStruct>::fromPackedCapnp(packed, schema, nullptr);
    (void)message->toJson(false);
    (void)message->toPackedCapnp();
  } catch (...) {
  }
  return 0;
}
