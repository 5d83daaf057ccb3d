#include "logging/statistics_sink.h"

#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/json/object.hpp>
#include <boost/json/serialize.hpp>
#include <boost/log/attributes/value_extraction.hpp>
#include <boost/smart_ptr/make_shared_object.hpp>

#include <sstream>

#include "logging/log_keywords.h"

namespace nuvrel::logging::detail {

void StatisticsBackend::consume(const boost::log::record_view& record) {
  auto severity = boost::log::extract<Severity>(log_keywords::tag::severity::get_name(), record);
  if (!severity) {
    return;
  }
  const auto value = static_cast<int>(*severity);
  if (isValidLogSeverity(value)) {
    counters_[static_cast<std::size_t>(value)].fetch_add(1, std::memory_order_relaxed);
  }
}

std::array<std::uint64_t, kSeverityCount> StatisticsBackend::counters() const {
  std::array<std::uint64_t, kSeverityCount> result{};
  for (std::size_t i = 0; i < result.size(); ++i) {
    result[i] = counters_[i].load(std::memory_order_relaxed);
  }
  return result;
}

bool isExcludedFromStatistics(std::string_view threadName) noexcept {
  if (threadName.size() <= 3 || !threadName.starts_with("fw_")) {
    return false;
  }
  for (char c : threadName.substr(3)) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

boost::shared_ptr<StatisticsSink> makeStatisticsSink() {
  auto sink = boost::make_shared<StatisticsSink>();
  sink->set_filter([](const boost::log::attribute_value_set& values) {
    auto name = boost::log::extract<std::string>(log_keywords::tag::threadName::get_name(), values);
    return !(name && isExcludedFromStatistics(*name));
  });
  return sink;
}

std::string statisticsJson(const std::array<std::uint64_t, kSeverityCount>& counts) {
  std::ostringstream stamp;
  stamp.imbue(std::locale(std::locale::classic(),
                          new boost::posix_time::time_facet("%Y-%m-%d %H:%M:%S.%f")));
  stamp << boost::posix_time::microsec_clock::local_time();

  boost::json::object counters;
  forEachSeverity([&](Severity severity, std::string_view name) {
    counters[name] = counts[static_cast<std::size_t>(severity)];
  });
  boost::json::object result;
  result["timestamp"] = stamp.str();
  result["counters"] = std::move(counters);
  return boost::json::serialize(result);
}

}  // namespace nuvrel::logging::detail
