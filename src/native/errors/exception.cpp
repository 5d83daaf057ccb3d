#include "errors/exception.h"

#include <fmt/format.h>

namespace nuvrel {

Exception::Exception() : code_(make_error_code(KS_ERROR_GENERAL)), message_("KSException") {}

Exception::Exception(std::string message)
    : code_(make_error_code(KS_ERROR_GENERAL)), message_(std::move(message)) {
  if (message_.empty()) {
    message_ = code_.message();
  }
}

Exception::Exception(boost::system::error_code code)
    : code_(code), message_("KSException with status code: " + codeText(code)) {}

Exception::Exception(boost::system::error_code code, std::string message)
    : code_(code), message_(std::move(message)) {
  if (message_.empty()) {
    message_ = code_.message();
  }
}

Exception::Exception(GenericErrorDescription description)
    : code_(description.code), message_(std::move(description.message)) {}

Exception::~Exception() = default;

const char* Exception::what() const noexcept { return message_.c_str(); }

std::string codeText(const boost::system::error_code& code) {
  return fmt::format("{}:{}", code.category().name(), code.value());
}

ErrorKind getKind(const Exception& exception) noexcept { return getKind(exception.code()); }

namespace special {
KSResult_enum toApiCode(const Exception& exception) noexcept {
  const auto code = exception.code();
  if (isApiError(code)) {
    return static_cast<KSResult_enum>(code.value());
  }
  return nuvrel::toApiCode(getKind(code));
}
}  // namespace special

std::string KSIOException::statusMessage(const char* name, unsigned long status) {
  return fmt::format("{} with status code: {}", name, status);
}

std::atomic<int> ClientException::defaultFormat{
    static_cast<int>(ClientException::MessageFormat::nameCodeMessage)};

ClientException::ClientException(const std::string& name, KSResult_enum code,
                                 const std::string& message, std::optional<MessageFormat> format)
    : ClientException(name, make_error_code(code), message, format) {}

ClientException::ClientException(const std::string& name, boost::system::error_code code,
                                 const std::string& message, std::optional<MessageFormat> format)
    : KSAPIException(formatMessage(name, code, message, format), code) {}

void ClientException::setMessageFormat(MessageFormat format) noexcept {
  defaultFormat.exchange(static_cast<int>(format));
}

std::string ClientException::formatMessage(const std::string& name,
                                           const boost::system::error_code& code,
                                           const std::string& message,
                                           std::optional<MessageFormat> format) {
  const auto chosen = format ? static_cast<int>(*format) : defaultFormat.load();
  if (chosen == static_cast<int>(MessageFormat::messageOnly)) {
    return message;
  }
  const std::string text = message.empty() ? code.message() : message;
  if (chosen == static_cast<int>(MessageFormat::messageAndCode)) {
    return fmt::format("{} [{}]", text, codeText(code));
  }
  return fmt::format("{} with status code: {} - {}", name, code.value(), text);
}

ApiNotFoundException ApiNotFoundException::defaultMessage(const std::string& path) {
  return ApiNotFoundException(fmt::format("Could not find any node that matches path \"{}\"", path));
}

ApiInvalidKeywordException ApiInvalidKeywordException::defaultMessage(const std::string& keyword) {
  return ApiInvalidKeywordException(fmt::format("Keyword \"{}\" could not be resolved", keyword));
}

ApiTypeMismatchException ApiTypeMismatchException::defaultMessage(const std::string& path) {
  return ApiTypeMismatchException(
      fmt::format("Path \"{}\" does not support values of the given type", path));
}

// Out-of-line destructors anchor each class's vtable in this file.
#define NUVREL_DTOR(Name) Name::~Name() = default;
NUVREL_DTOR(KSDeviceException)
NUVREL_DTOR(KSSocketException)
NUVREL_DTOR(KSOverflowException)
NUVREL_DTOR(KSUnderrunException)
NUVREL_DTOR(KSTimeoutException)
NUVREL_DTOR(KSNotFoundException)
NUVREL_DTOR(KSTypeMismatchException)
NUVREL_DTOR(KSOutOfRangeException)
NUVREL_DTOR(KSInterruptException)
NUVREL_DTOR(KSInternalException)
NUVREL_DTOR(KSDeviceNotVisibleException)
NUVREL_DTOR(KSDeviceNotFoundException)
NUVREL_DTOR(KSDeviceInUseException)
NUVREL_DTOR(KSDeviceInterfaceException)
NUVREL_DTOR(KSDeviceConnectionTimeoutException)
NUVREL_DTOR(KSDeviceDifferentInterfaceException)
NUVREL_DTOR(KSDeviceFWException)
NUVREL_DTOR(KSAWGCompilerException)
NUVREL_DTOR(KSAWGOptimizerException)
NUVREL_DTOR(KSVersionException)
NUVREL_DTOR(KSIllegalPathException)
NUVREL_DTOR(KSDeviceConnectionRefusedException)
NUVREL_DTOR(KSReadOnlyException)
NUVREL_DTOR(KSWriteOnlyException)
NUVREL_DTOR(KSInvalidKeywordException)
NUVREL_DTOR(KSAPIException)
NUVREL_DTOR(KSIOException)
NUVREL_DTOR(KSIOInternalException)
NUVREL_DTOR(KSIOTimeoutException)
NUVREL_DTOR(KSIOSizeException)
NUVREL_DTOR(KSIOProgramFailedException)
NUVREL_DTOR(KSBitstreamException)
NUVREL_DTOR(KSIOFileException)
NUVREL_DTOR(KSIOConnectionResetException)
NUVREL_DTOR(ClientException)
NUVREL_DTOR(ApiNotFoundException)
NUVREL_DTOR(ApiInvalidKeywordException)
NUVREL_DTOR(ApiTypeMismatchException)
NUVREL_DTOR(ApiTimeoutException)
NUVREL_DTOR(ApiInternalException)
NUVREL_DTOR(ApiLengthException)
NUVREL_DTOR(ApiConnectionException)
NUVREL_DTOR(ApiLevelException)
NUVREL_DTOR(ApiVersionMismatchException)
NUVREL_DTOR(ApiCommandException)
NUVREL_DTOR(ApiSampleLossException)
NUVREL_DTOR(ApiServerException)
#undef NUVREL_DTOR

}  // namespace nuvrel
