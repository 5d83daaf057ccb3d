#include <gtest/gtest.h>
#include <kj/exception.h>

#include <stdexcept>
#include <variant>

#include "errors/exception_or.h"
#include "errors/exception_utils.h"
#include "errors/kj_error_category.h"
#include "errors/scope_guards.h"
#include "errors/throw_error.h"

namespace nuvrel {
namespace {

template <typename F>
std::exception_ptr capture(F&& f) {
  try {
    f();
  } catch (...) {
    return std::current_exception();
  }
  return nullptr;
}

kj::Exception kjException(kj::Exception::Type type, const char* description) {
  return kj::Exception(type, "some/file.c++", 12, kj::str(description));
}

TEST(ExtractMessage, PerExceptionType) {
  EXPECT_EQ(extractMessage(nullptr), "");
  EXPECT_EQ(extractMessage(capture([] { throw 42; })), "");
  EXPECT_EQ(extractMessage(std::make_exception_ptr(std::runtime_error("plain"))), "plain");
  EXPECT_EQ(extractMessage(std::make_exception_ptr(Exception("ours"))), "ours");
  EXPECT_EQ(extractMessage(std::make_exception_ptr(
                kjException(kj::Exception::Type::FAILED, "remote exception: nope"))),
            "remote exception: nope");
}

TEST(ToException, ConvertsEachFamily) {
  const auto fromKj =
      toException(std::make_exception_ptr(kjException(kj::Exception::Type::DISCONNECTED, "gone")));
  EXPECT_STREQ(fromKj.what(), "Unexpected exception occurred: gone");
  EXPECT_EQ(fromKj.code(), kj::make_error_code(kj::Exception::Type::DISCONNECTED));
  EXPECT_EQ(getKind(fromKj), ErrorKind::unavailable);
  EXPECT_EQ(getKind(toException(std::make_exception_ptr(
                kjException(kj::Exception::Type::FAILED, "x")))),
            ErrorKind::internal);

  const auto fromStd = toException(std::make_exception_ptr(std::logic_error("bad")));
  EXPECT_STREQ(fromStd.what(), "std::exception occurred: bad");
  EXPECT_EQ(fromStd.code(), make_error_code(KS_ERROR_GENERAL));

  const auto fromInt = toException(capture([] { throw 1; }));
  EXPECT_STREQ(fromInt.what(), "Unexpected exception occurred.");

  const auto ours = toException(std::make_exception_ptr(
      Exception(make_error_code(PythonCapnpErrc::keyError), "missing")));
  EXPECT_STREQ(ours.what(), "missing");
  EXPECT_EQ(ours.code(), make_error_code(PythonCapnpErrc::keyError));
}

TEST(ThrowError, CarriesCodeMessageAndSource) {
  const auto error = capture([] { throwError(PythonCapnpErrc::keyError, "no field {}", "x"); });
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "no field x");
    EXPECT_EQ(e.code(), make_error_code(PythonCapnpErrc::keyError));
  }
  const auto info = diagnosticInfo(error);
  EXPECT_EQ(info.rfind("Exception: no field x\nSource: tests/native/errors/exception_utils_test.cpp:", 0), 0u)
      << info;

  // An empty message falls back to the code's message.
  EXPECT_EQ(extractMessage(capture([] { throwError(KS_ERROR_TIMEOUT, ""); })),
            "Command timed out");
}

TEST(DiagnosticInfo, WithoutThrowInformation) {
  EXPECT_EQ(diagnosticInfo(Exception("bare")), "Exception: bare");
  EXPECT_EQ(diagnosticInfo(nullptr), "");
  EXPECT_NE(diagnosticInfo(std::make_exception_ptr(kjException(kj::Exception::Type::FAILED, "d")))
                .find("some/file.c++:12"),
            std::string::npos);
}

TEST(ExceptionOr, ValuesAndFailures) {
  ExceptionOr<int> value(5);
  EXPECT_TRUE(value.hasValue());
  EXPECT_EQ(std::move(value).unwrap(), 5);

  ExceptionOr<int> failed(std::make_exception_ptr(KSIOConnectionResetException("reset")));
  EXPECT_THROW(std::move(failed).unwrap(), KSIOConnectionResetException);
  EXPECT_TRUE(ExceptionOr<int>(3).ignoreResult().hasValue());

  const auto voidFailure = wrapException(KSTimeoutException("slow"));
  ExceptionOr<std::string> carried(voidFailure);
  EXPECT_THROW(std::move(carried).unwrap(), KSTimeoutException);
  EXPECT_THROW((ExceptionOr<int>(ok())), std::bad_variant_access);
  EXPECT_NO_THROW(ok().unwrap());
}

TEST(WrapCurrentException, InsideAndOutsideAHandler) {
  EXPECT_EQ(extractMessage(wrapCurrentException().exception()),
            "Attempting to capture an exception, but no exception is active.");
  try {
    throw std::runtime_error("active");
  } catch (...) {
    EXPECT_EQ(extractMessage(wrapCurrentException().exception()), "active");
  }
}

struct ThrowsOnDestruction {
  bool* destroyed;
  ~ThrowsOnDestruction() noexcept(false) {
    *destroyed = true;
    throw std::runtime_error("destructor failed");
  }
};

TEST(Guards, SwallowFailuresOfCleanUp) {
  bool destroyed = false;
  EXPECT_NO_THROW({ utils::DestructorCatcher<ThrowsOnDestruction> guard(&destroyed); });
  EXPECT_TRUE(destroyed);

  int calls = 0;
  EXPECT_NO_THROW({
    ScopeExit exit([&] {
      ++calls;
      throw std::runtime_error("scope exit failed");
    });
    ScopeExit moved(std::move(exit));
  });
  EXPECT_EQ(calls, 1);

  bool ran = false;
  EXPECT_NO_THROW(doTryAndLog([&] {
    ran = true;
    throw Exception("swallowed");
  }, "test"));
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace nuvrel
