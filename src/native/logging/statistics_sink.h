// The internal sink that counts records per severity. It takes every record
// except those of threads whose whole name is "fw_" and digits, whatever the
// thresholds.
#pragma once

#include <boost/log/core/record_view.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/smart_ptr/shared_ptr.hpp>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "logging/severity.h"

namespace nuvrel::logging::detail {

class StatisticsBackend
    : public boost::log::sinks::basic_sink_backend<boost::log::sinks::concurrent_feeding> {
 public:
  void consume(const boost::log::record_view& record);

  std::array<std::uint64_t, kSeverityCount> counters() const;

 private:
  std::array<std::atomic<std::uint64_t>, kSeverityCount> counters_{};
};

class StatisticsSink : public boost::log::sinks::synchronous_sink<StatisticsBackend> {
 public:
  using synchronous_sink::synchronous_sink;
};

// A new sink with its filter; not yet added to the core.
boost::shared_ptr<StatisticsSink> makeStatisticsSink();

// True for names that are "fw_" followed by one or more digits, nothing else.
bool isExcludedFromStatistics(std::string_view threadName) noexcept;

// The JSON text of getLogStatisticsJson for these counters.
std::string statisticsJson(const std::array<std::uint64_t, kSeverityCount>& counters);

}  // namespace nuvrel::logging::detail
