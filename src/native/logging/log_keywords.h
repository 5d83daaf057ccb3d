// The standard attributes of every record and the global logger that writes
// them. Boost.Log headers: include only where records are built or read.
#pragma once

#include <boost/date_time/posix_time/ptime.hpp>
#include <boost/log/attributes/current_thread_id.hpp>
#include <boost/log/expressions/keyword.hpp>
#include <boost/log/sources/global_logger_storage.hpp>
#include <boost/log/sources/severity_logger.hpp>

#include <string>

#include "logging/severity.h"

namespace nuvrel::logging {

namespace log_keywords {
// Global attributes, added by the first initLogs.
BOOST_LOG_ATTRIBUTE_KEYWORD(timestamp, "ts", boost::posix_time::ptime)
BOOST_LOG_ATTRIBUTE_KEYWORD(lineCounter, "count", unsigned int)
BOOST_LOG_ATTRIBUTE_KEYWORD(threadId, "tid", boost::log::attributes::current_thread_id::value_type)
// Thread attribute, set by setThreadName; absent for threads never named.
BOOST_LOG_ATTRIBUTE_KEYWORD(threadName, "tname", std::string)
// Source attribute of the logger.
BOOST_LOG_ATTRIBUTE_KEYWORD(severity, "Severity", Severity)
}  // namespace log_keywords

// The one process-wide logger; safe to use from any thread.
BOOST_LOG_GLOBAL_LOGGER(KsLogger, boost::log::sources::severity_logger_mt<Severity>)

}  // namespace nuvrel::logging
