#include <gtest/gtest.h>

#include "errors/api_result.h"
#include "errors/error_kind.h"
#include "errors/exception.h"
#include "errors/kj_error_category.h"
#include "errors/python_errc.h"

namespace nuvrel {
namespace {

TEST(ApiErrorTable, HasTheDocumentedEntriesAndFallback) {
  EXPECT_EQ(apiErrorMessageCount(), 66u);
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0x0000, "Success (no error)"},
      {0x4003, "Value or node not found"},
      {0x800d, "Command timed out"},
      {0x801d,
       "The maximum number of allowed simultaneous sessions (32) exceeded. Ensure unused sessions "
       "are closed"},
      {0x9103, "An unknown error occurred on the device, please report"},
      {0x4004, "Unknown error code"},
      {0x8021, "Unknown error code"},
  };
  for (const auto& [code, message] : cases) {
    EXPECT_EQ(getApiErrorMessage(KSResult_enum(code)), message) << std::hex << code;
  }
}

TEST(ApiErrorTable, BaseOfACode) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0x0000, 0x0000}, {0x4000, 0x4000}, {0x4005, 0x4000}, {0x4006, 0x8000},
      {0x9003, 0x8000}, {0x8000, 0x8000}, {0x801f, 0x8000},
  };
  for (const auto& [code, base] : cases) {
    EXPECT_EQ(getApiErrorBase(KSResult_enum(code)), base) << std::hex << code;
  }
}

TEST(ErrorKinds, OfApiCodes) {
  const std::pair<std::uint32_t, ErrorKind> cases[] = {
      {0, ErrorKind::ok},
      {16387, ErrorKind::notFound},
      {16389, ErrorKind::badRequest},
      {32800, ErrorKind::badRequest},
      {32770, ErrorKind::internal},
      {32786, ErrorKind::internal},
      {32781, ErrorKind::timeout},
      {32788, ErrorKind::unavailable},
      {32795, ErrorKind::unavailable},
      {32797, ErrorKind::overwhelmed},
      {32780, ErrorKind::unknown},  // 0x800c has no condition
      {0x9000, ErrorKind::unknown},
  };
  for (const auto& [code, kind] : cases) {
    EXPECT_EQ(getKind(make_error_code(KSResult_enum(code))), kind) << code;
  }
}

TEST(ErrorKinds, OfOtherCategories) {
  EXPECT_EQ(getKind(make_error_code(PythonCapnpErrc::keyError)), ErrorKind::notFound);
  EXPECT_EQ(getKind(make_error_code(PythonCapnpErrc::valueError)), ErrorKind::internal);
  EXPECT_EQ(getKind(make_error_code(PythonCapnpErrc::timeout)), ErrorKind::timeout);
  EXPECT_EQ(getKind(make_error_code(PythonCapnpErrc(55))), ErrorKind::unknown);
  EXPECT_EQ(getKind(kj::make_error_code(kj::Exception::Type::FAILED)), ErrorKind::internal);
  EXPECT_EQ(getKind(kj::make_error_code(kj::Exception::Type::DISCONNECTED)),
            ErrorKind::unavailable);
  EXPECT_EQ(getKind(boost::system::error_code(5, boost::system::system_category())),
            ErrorKind::unknown);
  EXPECT_EQ(fromKsErrorKind(12), ErrorKind::unknown);
  EXPECT_EQ(fromKsErrorKind(8), ErrorKind::unavailable);
  EXPECT_EQ(toKsErrorKind(ErrorKind::timeout), 9);
  EXPECT_EQ(toApiCode(ErrorKind::ok), 0u);
  EXPECT_EQ(toApiCode(ErrorKind::badRequest), 0x801fu);
  EXPECT_EQ(toApiCode(ErrorKind::timeout), 0x800du);
  EXPECT_EQ(toApiCode(ErrorKind::unavailable), 0x8000u);
}

TEST(ErrorCategories, NamesAndMessages) {
  EXPECT_STREQ(ksApiErrorCategory().name(), "ks:api");
  EXPECT_STREQ(errorKindCategory().name(), "ks:kind");
  EXPECT_STREQ(pythonCapnpErrorCategory().name(), "ks:pycapnp");
  EXPECT_STREQ(kjErrorCategory().name(), "kj");
  const std::pair<int, const char*> kinds[] = {{0, "Ok"},        {2, "Unknown"},
                                               {3, "Not Found"}, {5, "Bad Request"},
                                               {9, "Timeout"},   {10, "Unknown"}};
  for (const auto& [value, message] : kinds) {
    EXPECT_EQ(errorKindCategory().message(value), message);
  }
  const std::pair<int, const char*> pycapnp[] = {
      {0, "Ok"},          {1, "Cancelled"},      {2, "RuntimeError"}, {3, "Not Found"},
      {7, "Internal"},    {100, "ValueError"},   {101, "DisconnectError"},
      {102, "KeyError"},  {103, "Unknown"}};
  for (const auto& [value, message] : pycapnp) {
    EXPECT_EQ(pythonCapnpErrorCategory().message(value), message);
  }
  EXPECT_EQ(kjErrorCategory().message(3), "Unimplemented");
  EXPECT_EQ(kjErrorCategory().message(7), "Unknown");
}

TEST(PythonCapnpErrc, OfCapnpExceptionTypes) {
  const std::pair<kj::Exception::Type, PythonCapnpErrc> cases[] = {
      {kj::Exception::Type::FAILED, PythonCapnpErrc::badRequest},
      {kj::Exception::Type::OVERLOADED, PythonCapnpErrc::overwhelmed},
      {kj::Exception::Type::DISCONNECTED, PythonCapnpErrc::disconnected},
      {kj::Exception::Type::UNIMPLEMENTED, PythonCapnpErrc::unimplemented},
      {static_cast<kj::Exception::Type>(9), PythonCapnpErrc::internal},
  };
  for (const auto& [type, code] : cases) {
    kj::Exception e(type, __FILE__, __LINE__, kj::str("x"));
    EXPECT_EQ(getPythonCapnpErrc(e), code);
  }
}

TEST(Exception, Constructors) {
  const Exception plain;
  EXPECT_STREQ(plain.what(), "KSException");
  EXPECT_EQ(plain.code(), make_error_code(KS_ERROR_GENERAL));

  EXPECT_STREQ(Exception(std::string()).what(), "Error (general)");
  EXPECT_STREQ(Exception("boom").what(), "boom");
  EXPECT_STREQ(Exception(make_error_code(KS_ERROR_TIMEOUT)).what(),
               "KSException with status code: ks:api:32781");
  EXPECT_STREQ(Exception(make_error_code(KS_ERROR_TIMEOUT), "").what(), "Command timed out");
  const Exception described(GenericErrorDescription{make_error_code(PythonCapnpErrc::keyError), ""});
  EXPECT_STREQ(described.what(), "");
  EXPECT_EQ(described.description().code, make_error_code(PythonCapnpErrc::keyError));
}

TEST(Exception, FamilyCodesAndMessages) {
  struct Case {
    Exception exception;
    const char* message;
    std::uint32_t code;
  };
  const Case cases[] = {
      {KSDeviceException(), "KSDeviceException", 0x8000},
      {KSTimeoutException("late"), "late", 0x8000},
      {KSIOTimeoutException("late"), "late", 0x800d},
      {KSIOTimeoutException(7ul), "KSIOTimeoutException with status code: 7", 0x8000},
      {KSIOException(42ul), "KSIOException with status code: 42", 0x8000},
      {KSIOException("reset", KS_ERROR_CONNECTION_INVALID), "reset", 0x800c},
      {KSBitstreamException("bad header"), "Illegal bitstream. bad header", 0x8000},
      {KSReadOnlyException("ro"), "ro", 0x8013},
      {KSInvalidKeywordException("kw"), "kw", 0x4005},
      {KSInternalException(), "KSInternalException", 0x800f},
      {KSDeviceNotFoundException(), "KSDeviceNotFoundException", 0x801b},
      {KSDeviceConnectionRefusedException(), "KSDeviceConnectionRefusedException", 0x8000},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(c.exception.what(), c.message);
    EXPECT_EQ(c.exception.code(), make_error_code(KSResult_enum(c.code))) << c.message;
  }
}

TEST(ClientException, MessageFormats) {
  EXPECT_STREQ(ApiTimeoutException().what(),
               "KSAPITimeoutException with status code: 32781 - Command timed out");
  EXPECT_STREQ(ApiNotFoundException::defaultMessage("/dev8/x").what(),
               "KSAPINotFoundException with status code: 16387 - Could not find any node that "
               "matches path \"/dev8/x\"");
  EXPECT_STREQ(ApiServerException(make_error_code(KS_ERROR_FILE), "disk",
                                  ClientException::MessageFormat::messageAndCode)
                   .what(),
               "disk [ks:api:32785]");
  EXPECT_EQ(ApiServerException(make_error_code(KS_ERROR_FILE)).code(),
            make_error_code(KS_ERROR_FILE));

  ClientException::setMessageFormat(ClientException::MessageFormat::messageOnly);
  EXPECT_STREQ(ApiTimeoutException().what(), "Command timed out");
  EXPECT_STREQ(ApiInternalException("inside").what(), "inside");
  ClientException::setMessageFormat(ClientException::MessageFormat::messageAndCode);
  EXPECT_STREQ(ApiLengthException().what(), "Provided buffer is too small [ks:api:32784]");
  ClientException::setMessageFormat(ClientException::MessageFormat::nameCodeMessage);
}

TEST(ClientException, Kinds) {
  EXPECT_EQ(getKind(ApiConnectionException()), ErrorKind::unknown);
  EXPECT_EQ(getKind(ApiTimeoutException()), ErrorKind::timeout);
  EXPECT_EQ(getKind(ApiNotFoundException()), ErrorKind::notFound);
  EXPECT_EQ(getKind(KSTimeoutException("x")), ErrorKind::unknown);
  EXPECT_EQ(getKind(KSIOTimeoutException("x")), ErrorKind::timeout);
  EXPECT_EQ(special::toApiCode(ApiTimeoutException()), 0x800du);
  EXPECT_EQ(special::toApiCode(Exception(make_error_code(PythonCapnpErrc::badRequest), "x")),
            0x801fu);
}

}  // namespace
}  // namespace nuvrel
