#include "logging/levels.h"

#include <boost/thread/locks.hpp>
#include <boost/thread/shared_mutex.hpp>

#include <mutex>
#include <shared_mutex>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "errors/throw_error.h"

namespace nuvrel::logging {
namespace {

// Kept together, behind a function, so that the thresholds exist before the
// first static initialiser of another file logs anything.
struct Levels {
  boost::shared_mutex levelMutex;
  Severity level = Severity::status;
  Severity levelConsole = level;
  Severity levelFile = level;
  Severity levelSyslog = Severity::warning;
};

Levels& levels() {
  static Levels instance;
  return instance;
}

Severity read(const Severity Levels::*member) {
  auto& l = levels();
  boost::shared_lock<boost::shared_mutex> lock(l.levelMutex);
  return l.*member;
}

void write(Severity Levels::*member, Severity severity) {
  auto& l = levels();
  std::unique_lock<boost::shared_mutex> lock(l.levelMutex);
  l.*member = severity;
}

}  // namespace

void setLogLevel(Severity severity, LogSink sink) {
  auto& l = levels();
  std::unique_lock<boost::shared_mutex> lock(l.levelMutex);
  switch (sink) {
    case LogSink::all:
      l.level = l.levelConsole = l.levelFile = l.levelSyslog = severity;
      return;
    case LogSink::console:
      l.levelConsole = severity;
      return;
    case LogSink::file:
      l.levelFile = severity;
      return;
    case LogSink::syslog:
      l.levelSyslog = severity;
      return;
  }
  lock.unlock();
  throwError(KS_ERROR_GENERAL, "setLogLevel for sink={} is not supported.",
             static_cast<int>(sink));
}

Severity getLogLevel() { return read(&Levels::level); }

Severity getLogLevel(LogSink sink) {
  switch (sink) {
    case LogSink::all:
      throwError(KS_ERROR_GENERAL, "getLogLevel for sink=all is not supported.");
    case LogSink::console:
      return read(&Levels::levelConsole);
    case LogSink::file:
      return read(&Levels::levelFile);
    case LogSink::syslog:
      return read(&Levels::levelSyslog);
  }
  throwError(KS_ERROR_GENERAL, "getLogLevel for sink={} is not supported.",
             static_cast<int>(sink));
}

void setLogLevelConsole(Severity severity) { write(&Levels::levelConsole, severity); }
Severity getLogLevelConsole() { return read(&Levels::levelConsole); }
void setLogLevelFile(Severity severity) { write(&Levels::levelFile, severity); }
Severity getLogLevelFile() { return read(&Levels::levelFile); }

ScopedLogLevelChange::ScopedLogLevelChange(Severity severity) {
  auto& l = levels();
  boost::upgrade_lock<boost::shared_mutex> lock(l.levelMutex);
  saved_ = l.level;
  boost::upgrade_to_unique_lock<boost::shared_mutex> unique(lock);
  l.level = severity;
}

ScopedLogLevelChange::~ScopedLogLevelChange() {
  try {
    auto& l = levels();
    boost::upgrade_lock<boost::shared_mutex> lock(l.levelMutex);
    boost::upgrade_to_unique_lock<boost::shared_mutex> unique(lock);
    l.level = saved_;
  } catch (...) {
    nuvrel::detail::logExceptionToClog(std::current_exception(), "ScopedLogLevelChange dtor");
  }
}

namespace detail {
bool passesConsole(Severity severity) { return severity >= read(&Levels::levelConsole); }
bool passesFile(Severity severity) { return severity >= read(&Levels::levelFile); }
bool passesSyslog(Severity severity) { return severity >= read(&Levels::levelSyslog); }
}  // namespace detail

}  // namespace nuvrel::logging
