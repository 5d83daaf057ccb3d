#include <boost/core/null_deleter.hpp>
#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core/core.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_ostream_backend.hpp>
#include <boost/smart_ptr/make_shared_object.hpp>

#include <iostream>

#include "logging/levels.h"
#include "logging/log_format.h"
#include "logging/log_keywords.h"
#include "logging/sinks.h"

namespace nuvrel::logging::detail {

bool ThresholdFilter::operator()(const boost::log::attribute_value_set& values) const {
  auto severity = boost::log::extract<Severity>(log_keywords::tag::severity::get_name(), values);
  return severity && passes(*severity);
}

void startConsoleLogging(const LogFormatConfig& format) {
  using Sink = boost::log::sinks::synchronous_sink<boost::log::sinks::text_ostream_backend>;
  auto backend = boost::make_shared<boost::log::sinks::text_ostream_backend>();
  backend->add_stream(boost::shared_ptr<std::ostream>(&std::clog, boost::null_deleter()));
  backend->auto_flush(true);
  auto sink = boost::make_shared<Sink>(backend);
  sink->set_filter(ThresholdFilter{&passesConsole});
  sink->set_formatter(makeFormatter(format));
  boost::log::core::get()->add_sink(sink);
}

}  // namespace nuvrel::logging::detail
