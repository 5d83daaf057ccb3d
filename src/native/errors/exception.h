// The exception family of the module. Every failure is a `nuvrel::Exception`
// (or a subclass) carrying an error code beside its message; the code, not
// the class, decides what Python sees.
#pragma once

#include <boost/exception/exception.hpp>
#include <boost/system/error_code.hpp>

#include <atomic>
#include <exception>
#include <optional>
#include <string>

#include "errors/api_result.h"

namespace nuvrel {

struct GenericErrorDescription {
  boost::system::error_code code;
  std::string message;
};

class Exception : public std::exception, public boost::exception {
 public:
  // API code 0x8000, message "KSException".
  Exception();
  // API code 0x8000; an empty message becomes "Error (general)".
  explicit Exception(std::string message);
  // Message "KSException with status code: <category>:<value>".
  explicit Exception(boost::system::error_code code);
  // An empty message becomes the code's message.
  Exception(boost::system::error_code code, std::string message);
  explicit Exception(GenericErrorDescription description);

  ~Exception() override;
  const char* what() const noexcept override;

  boost::system::error_code code() const noexcept { return code_; }
  GenericErrorDescription description() const { return {code_, message_}; }

 private:
  boost::system::error_code code_;
  std::string message_;
};

// "<category>:<value>", e.g. "ks:api:32781".
std::string codeText(const boost::system::error_code& code);

ErrorKind getKind(const Exception& exception) noexcept;

namespace special {
// The exception's API code, or the API code of its kind.
KSResult_enum toApiCode(const Exception& exception) noexcept;
}  // namespace special

// The KS family: classes that differ only by name and default code.
#define NUVREL_KS_EXCEPTION(Name, Base, Code)                                    \
  class Name : public Base {                                                     \
   public:                                                                       \
    Name() : Base(make_error_code(KSResult_enum(Code)), #Name) {}                \
    explicit Name(std::string message)                                           \
        : Base(make_error_code(KSResult_enum(Code)), std::move(message)) {}      \
    ~Name() override;                                                            \
                                                                                 \
   protected:                                                                    \
    Name(boost::system::error_code code, std::string message)                    \
        : Base(code, std::move(message)) {}                                      \
  }

NUVREL_KS_EXCEPTION(KSDeviceException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSSocketException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSOverflowException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSUnderrunException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSTimeoutException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSNotFoundException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSTypeMismatchException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSOutOfRangeException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSInterruptException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSInternalException, Exception, 0x800f);
NUVREL_KS_EXCEPTION(KSDeviceNotVisibleException, Exception, 0x8014);
NUVREL_KS_EXCEPTION(KSDeviceNotFoundException, Exception, 0x801b);
NUVREL_KS_EXCEPTION(KSDeviceInUseException, Exception, 0x8015);
NUVREL_KS_EXCEPTION(KSDeviceInterfaceException, Exception, 0x8016);
NUVREL_KS_EXCEPTION(KSDeviceConnectionTimeoutException, Exception, 0x8017);
NUVREL_KS_EXCEPTION(KSDeviceDifferentInterfaceException, Exception, 0x8018);
NUVREL_KS_EXCEPTION(KSDeviceFWException, Exception, 0x8019);
NUVREL_KS_EXCEPTION(KSAWGCompilerException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSAWGOptimizerException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSVersionException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSIllegalPathException, Exception, 0x8000);
NUVREL_KS_EXCEPTION(KSDeviceConnectionRefusedException, KSDeviceException, 0x8000);

// Classes that are only ever built from a message.
#define NUVREL_KS_MESSAGE_EXCEPTION(Name, Code)                                  \
  class Name : public Exception {                                                \
   public:                                                                       \
    explicit Name(std::string message)                                           \
        : Exception(make_error_code(KSResult_enum(Code)), std::move(message)) {} \
    ~Name() override;                                                            \
  }

NUVREL_KS_MESSAGE_EXCEPTION(KSReadOnlyException, 0x8013);
NUVREL_KS_MESSAGE_EXCEPTION(KSWriteOnlyException, 0x8020);
NUVREL_KS_MESSAGE_EXCEPTION(KSInvalidKeywordException, 0x4005);

class KSAPIException : public Exception {
 public:
  KSAPIException() : Exception(make_error_code(KS_ERROR_GENERAL), "KSAPIException") {}
  explicit KSAPIException(std::string message)
      : Exception(make_error_code(KS_ERROR_GENERAL), std::move(message)) {}
  KSAPIException(std::string message, boost::system::error_code code)
      : Exception(code, std::move(message)) {}
  ~KSAPIException() override;
};

// Connection and socket failures. Whatever its code, Python sees one of these
// as UnavailableError.
class KSIOException : public Exception {
 public:
  KSIOException() : Exception(make_error_code(KS_ERROR_GENERAL), "KSIOException") {}
  explicit KSIOException(const std::string& message)
      : Exception(make_error_code(KS_ERROR_GENERAL), message) {}
  explicit KSIOException(unsigned long status)
      : KSIOException(statusMessage("KSIOException", status), KS_ERROR_GENERAL) {}
  KSIOException(const std::string& message, KSResult_enum code)
      : Exception(make_error_code(code), message) {}
  ~KSIOException() override;

 protected:
  // "<name> with status code: <status>".
  static std::string statusMessage(const char* name, unsigned long status);
};

#define NUVREL_KS_IO_EXCEPTION(Name, Code, Prefix)                                      \
  class Name : public KSIOException {                                                   \
   public:                                                                              \
    Name() : KSIOException(std::string(#Name), KSResult_enum(Code)) {}                  \
    explicit Name(const std::string& message)                                           \
        : KSIOException(Prefix + message, KSResult_enum(Code)) {}                       \
    explicit Name(unsigned long status)                                                 \
        : KSIOException(statusMessage(#Name, status), KS_ERROR_GENERAL) {}              \
    ~Name() override;                                                                   \
  }

NUVREL_KS_IO_EXCEPTION(KSIOInternalException, 0x8000, std::string());
NUVREL_KS_IO_EXCEPTION(KSIOTimeoutException, 0x800d, std::string());
NUVREL_KS_IO_EXCEPTION(KSIOSizeException, 0x8000, std::string());
NUVREL_KS_IO_EXCEPTION(KSIOProgramFailedException, 0x8000, std::string());
NUVREL_KS_IO_EXCEPTION(KSBitstreamException, 0x8000, std::string("Illegal bitstream. "));
NUVREL_KS_IO_EXCEPTION(KSIOFileException, 0x8000, std::string());
NUVREL_KS_IO_EXCEPTION(KSIOConnectionResetException, 0x8000, std::string());

// The client family: messages laid out by `formatMessage`.
class ClientException : public KSAPIException {
 public:
  enum class MessageFormat : int { messageOnly = 0, messageAndCode = 1, nameCodeMessage = 2 };

  ClientException(const std::string& name, KSResult_enum code, const std::string& message = {},
                  std::optional<MessageFormat> format = std::nullopt);
  ClientException(const std::string& name, boost::system::error_code code,
                  const std::string& message = {},
                  std::optional<MessageFormat> format = std::nullopt);
  ~ClientException() override;

  static void setMessageFormat(MessageFormat format) noexcept;
  static std::string formatMessage(const std::string& name, const boost::system::error_code& code,
                                   const std::string& message,
                                   std::optional<MessageFormat> format = std::nullopt);

 private:
  static std::atomic<int> defaultFormat;
};

#define NUVREL_API_EXCEPTION_BEGIN(Name, NameString, Code)                       \
  class Name : public ClientException {                                          \
    static constexpr const char* kName = NameString;                             \
    static constexpr KSResult_enum kCode = KSResult_enum(Code);                  \
                                                                                 \
   public:                                                                       \
    ~Name() override;
#define NUVREL_API_DEFAULT_CTOR(Name) \
  Name() : ClientException(kName, kCode) {}
#define NUVREL_API_MESSAGE_CTOR(Name) \
  explicit Name(const std::string& message) : ClientException(kName, kCode, message) {}
#define NUVREL_API_EXCEPTION_END() }

NUVREL_API_EXCEPTION_BEGIN(ApiNotFoundException, "KSAPINotFoundException", 0x4003)
NUVREL_API_DEFAULT_CTOR(ApiNotFoundException)
NUVREL_API_MESSAGE_CTOR(ApiNotFoundException)
static ApiNotFoundException defaultMessage(const std::string& path);
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiInvalidKeywordException, "KSAPIInvalidKeywordException", 0x4005)
NUVREL_API_MESSAGE_CTOR(ApiInvalidKeywordException)
static ApiInvalidKeywordException defaultMessage(const std::string& keyword);
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiTypeMismatchException, "KSAPITypeMismatchException", 0x801c)
NUVREL_API_MESSAGE_CTOR(ApiTypeMismatchException)
static ApiTypeMismatchException defaultMessage(const std::string& path);
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiTimeoutException, "KSAPITimeoutException", 0x800d)
NUVREL_API_DEFAULT_CTOR(ApiTimeoutException)
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiInternalException, "KSAPIInternalException", 0x800f)
NUVREL_API_DEFAULT_CTOR(ApiInternalException)
NUVREL_API_MESSAGE_CTOR(ApiInternalException)
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiLengthException, "KSAPILengthException", 0x8010)
NUVREL_API_DEFAULT_CTOR(ApiLengthException)
NUVREL_API_MESSAGE_CTOR(ApiLengthException)
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiConnectionException, "KSAPIConnectionException", 0x800c)
NUVREL_API_DEFAULT_CTOR(ApiConnectionException)
NUVREL_API_MESSAGE_CTOR(ApiConnectionException)
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiLevelException, "KSAPILevelException", 0x800c)
NUVREL_API_DEFAULT_CTOR(ApiLevelException)
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiVersionMismatchException, "KSAPIVersionMismatchException", 0x800c)
NUVREL_API_MESSAGE_CTOR(ApiVersionMismatchException)
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiCommandException, "KSAPICommandException", 0x800e)
NUVREL_API_DEFAULT_CTOR(ApiCommandException)
NUVREL_API_EXCEPTION_END();

NUVREL_API_EXCEPTION_BEGIN(ApiSampleLossException, "KSAPISampleLossException", 0x8021)
NUVREL_API_MESSAGE_CTOR(ApiSampleLossException)
NUVREL_API_EXCEPTION_END();

class ApiServerException : public ClientException {
 public:
  explicit ApiServerException(boost::system::error_code code,
                              std::optional<MessageFormat> format = std::nullopt)
      : ClientException("KSAPIServerException", code, {}, format) {}
  ApiServerException(boost::system::error_code code, const std::string& message,
                     std::optional<MessageFormat> format = std::nullopt)
      : ClientException("KSAPIServerException", code, message, format) {}
  ~ApiServerException() override;
};

#undef NUVREL_KS_EXCEPTION
#undef NUVREL_KS_MESSAGE_EXCEPTION
#undef NUVREL_KS_IO_EXCEPTION
#undef NUVREL_API_EXCEPTION_BEGIN
#undef NUVREL_API_DEFAULT_CTOR
#undef NUVREL_API_MESSAGE_CTOR
#undef NUVREL_API_EXCEPTION_END

}  // namespace nuvrel
