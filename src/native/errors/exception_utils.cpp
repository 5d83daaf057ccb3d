#include "errors/exception_utils.h"

#include <boost/exception/diagnostic_information.hpp>
#include <boost/exception/errinfo_nested_exception.hpp>
#include <boost/exception/get_error_info.hpp>
#include <boost/exception_ptr.hpp>
#include <fmt/format.h>
#include <kj/exception.h>

#include <filesystem>
#include <iostream>

#include "errors/kj_error_category.h"
#include "logging/log.h"

namespace nuvrel {

ExceptionOr<void> wrapCurrentException() {
  if (auto current = std::current_exception()) {
    return ExceptionOr<void>(current);
  }
  return wrapException(Exception("Attempting to capture an exception, but no exception is active."));
}

Exception toException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e;
  } catch (const kj::Exception& e) {
    return Exception(kj::make_error_code(e.getType()),
                     fmt::format("Unexpected exception occurred: {}", e.getDescription().cStr()));
  } catch (const std::exception& e) {
    return Exception(make_error_code(KS_ERROR_GENERAL),
                     fmt::format("std::exception occurred: {}", e.what()));
  } catch (...) {
    return Exception(make_error_code(KS_ERROR_GENERAL), "Unexpected exception occurred.");
  }
}

std::string extractMessage(std::exception_ptr error) noexcept {
  if (!error) {
    return {};
  }
  try {
    try {
      std::rethrow_exception(error);
    } catch (const Exception& e) {
      return e.what();
    } catch (const kj::Exception& e) {
      return e.getDescription().cStr();
    } catch (const boost::exception& e) {
      return boost::diagnostic_information(e, true);
    } catch (const std::exception& e) {
      return e.what();
    } catch (...) {
      return {};
    }
  } catch (...) {
    return {};
  }
}

std::string extractCurrentExceptionMessage() noexcept {
  return extractMessage(std::current_exception());
}

namespace {

// The source file relative to the root of the sources. Compilers see the
// names relative to the build directory.
std::string shortSourceName(const char* file) {
  std::filesystem::path path(file);
  std::string text = path.is_absolute() ? path.lexically_normal().string()
                                        : (std::filesystem::path(NUVREL_BUILD_ROOT) / path)
                                              .lexically_normal()
                                              .string();
  const std::string_view root = NUVREL_SOURCE_ROOT;
  if (text.starts_with(root)) {
    text.erase(0, root.size());
  }
  return text;
}

}  // namespace

std::string diagnosticInfo(const Exception& exception) noexcept {
  try {
    boost::exception_ptr current = boost::copy_exception(exception);
    for (int step = 0; step < 512; ++step) {
      try {
        boost::rethrow_exception(current);
      } catch (const boost::exception& e) {
        const auto* nested = boost::get_error_info<boost::errinfo_nested_exception>(e);
        if (nested == nullptr || !*nested) {
          break;
        }
        current = *nested;
      } catch (...) {
        break;
      }
    }
    try {
      boost::rethrow_exception(current);
    } catch (const Exception& e) {
      std::string text = fmt::format("Exception: {}", e.what());
      const char* const* file = boost::get_error_info<boost::throw_file>(e);
      const int* line = boost::get_error_info<boost::throw_line>(e);
      if (file != nullptr && line != nullptr && *line != -1) {
        text += fmt::format("\nSource: {}:{}", shortSourceName(*file), *line);
      }
      return text;
    } catch (const std::exception& e) {
      return fmt::format("Exception: {}", e.what());
    } catch (...) {
      return "Exception: <unknown exception type>";
    }
  } catch (...) {
    return {};
  }
}

std::string diagnosticInfo(std::exception_ptr error) noexcept {
  if (!error) {
    return {};
  }
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return diagnosticInfo(e);
  } catch (const kj::Exception& e) {
    try {
      return kj::str(e).cStr();
    } catch (...) {
      return {};
    }
  } catch (const boost::exception& e) {
    try {
      return boost::diagnostic_information(e, true);
    } catch (...) {
      return {};
    }
  } catch (const std::exception& e) {
    try {
      return boost::diagnostic_information(e, true);
    } catch (...) {
      return {};
    }
  } catch (...) {
    return {};
  }
}

std::string currentExceptionDiagnosticInfo() noexcept {
  return diagnosticInfo(std::current_exception());
}

namespace detail {

void logExceptionToClog(std::exception_ptr error, const char* where) noexcept {
  if (!error) {
    return;
  }
  try {
    std::string description;
    try {
      std::rethrow_exception(error);
    } catch (const boost::exception& e) {
      description = boost::diagnostic_information(e, true);
    } catch (const std::exception& e) {
      description = e.what();
    } catch (...) {
      description = "Unknown exception.";
    }
    std::clog << "Exception caught" << (where ? std::string(" in ") + where : std::string())
              << ": " << description << '\n';
  } catch (...) {
  }
}

void logExceptionNoexcept(logging::Severity severity, std::exception_ptr error,
                          const char* where) noexcept {
  try {
    logging::logException(severity, error, where ? where : "");
  } catch (...) {
  }
}

void logMessage(const std::string& message) noexcept {
  try {
    logging::log(logging::Severity::debug, message);
  } catch (...) {
  }
}

}  // namespace detail
}  // namespace nuvrel
