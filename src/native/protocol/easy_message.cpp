#include "protocol/easy_message.h"

#include <kj/debug.h>

#include <utility>

#include "errors/exception_utils.h"

namespace nuvrel {

namespace {

std::unique_ptr<capnp::MallocMessageBuilder> newMessage() {
  return std::make_unique<capnp::MallocMessageBuilder>(
      EasyMessage<capnp::DynamicStruct>::kFirstSegmentWords, capnp::AllocationStrategy::GROW_HEURISTICALLY);
}

}  // namespace

capnp::ReaderOptions valueReaderOptions() {
  capnp::ReaderOptions options;
  options.traversalLimitInWords = 0x800000;
  options.nestingLimit = 64;
  return options;
}

EasyMessage<capnp::DynamicStruct>::EasyMessage(capnp::StructSchema schema,
                                               std::shared_ptr<const void> keepAlive)
    : keepAlive_(std::move(keepAlive)), message_(newMessage()), schema_(schema) {}

EasyMessage<capnp::DynamicStruct>::EasyMessage(std::unique_ptr<capnp::MallocMessageBuilder> message,
                                               capnp::StructSchema schema,
                                               std::shared_ptr<const void> keepAlive)
    : keepAlive_(std::move(keepAlive)), message_(std::move(message)), schema_(schema) {
  if (!message_) {
    message_ = newMessage();
  }
}

EasyMessage<capnp::DynamicStruct>::~EasyMessage() noexcept {
  // KJ destructors may throw; a failing release must not take the process down.
  doTryAndLog([this] { message_.reset(); }, "EasyMessage dtor");
}

std::shared_ptr<EasyMessage<capnp::DynamicStruct>> EasyMessage<capnp::DynamicStruct>::fromReader(
    capnp::DynamicStruct::Reader reader, std::shared_ptr<const void> keepAlive) {
  auto message = std::make_shared<EasyMessage>(reader.getSchema(), std::move(keepAlive));
  message->setRoot(reader);
  return message;
}

capnp::DynamicStruct::Builder EasyMessage<capnp::DynamicStruct>::getBuilder() {
  return message_->getRoot<capnp::DynamicStruct>(schema_);
}

capnp::DynamicStruct::Reader EasyMessage<capnp::DynamicStruct>::getReader() {
  return getBuilder().asReader();
}

void EasyMessage<capnp::DynamicStruct>::setRoot(capnp::DynamicStruct::Reader reader) {
  KJ_REQUIRE(reader.getSchema() == schema_, "root of another struct type",
             reader.getSchema().getProto().getDisplayName(), schema_.getProto().getDisplayName());
  message_->setRoot(reader);
}

}  // namespace nuvrel
