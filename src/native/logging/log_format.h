// Turning a record into one line of text: the classic bracketed layout and
// the logfmt layout, optionally wrapped in terminal colours.
//
// Formatters are called by a sink front end under that sink's lock; they keep
// no mutable state and may be copied freely.
#pragma once

#include <boost/date_time/posix_time/ptime.hpp>
#include <boost/log/attributes/attribute_name.hpp>
#include <boost/log/attributes/attribute_value.hpp>
#include <boost/log/core/record_view.hpp>
#include <boost/log/expressions/formatter.hpp>
#include <boost/log/utility/formatting_ostream.hpp>

#include <array>
#include <locale>
#include <string>
#include <string_view>

#include "logging/log_format_config.h"

namespace nuvrel::logging {

// The formatter for a sink: logfmt or classic, coloured if asked.
boost::log::formatter makeFormatter(const LogFormatConfig& config);
boost::log::formatter classicFormatter(const LogFormatConfig& config);
// Always the ISO form of the time; `timeFormat` is ignored.
boost::log::formatter logfmtFormatter(const LogFormatConfig& config);
// ESC[33m before warnings, ESC[31m before errors and fatals, ESC[0m after
// every line.
boost::log::formatter makeColored(boost::log::formatter formatter);

// More than the six standard attribute values.
bool hasExtraAttributes(const boost::log::record_view& record);
// Not one of "ts", "count", "tid", "tname", "Severity" and the message.
bool isExtraAttribute(const boost::log::attribute_name& name);

// The identifiers of the six standard attributes, sorted.
using KnownAttributeIds = std::array<boost::log::attribute_name::id_type, 6>;
KnownAttributeIds makeKnownAttributeIdsArray();

// Backslash before every double quote, then the whole in double quotes.
std::string quote(std::string_view text);

// Writes the record's "ts" value, nothing if it has none.
class DateTimeFormatter {
 public:
  DateTimeFormatter(LogFormatConfig::TimeFormat format, LogFormatConfig::TimeZone zone);

  void operator()(const boost::log::record_view& record,
                  boost::log::formatting_ostream& stream) const;
  // The text for a UTC time stamp.
  std::string format(const boost::posix_time::ptime& utc) const;

  const std::string& formatString() const { return format_; }
  bool convertsToLocalTime() const { return toLocal_; }

 private:
  std::string format_;
  bool toLocal_;
  std::locale locale_;
};

// Writes one attribute value: int, unsigned int, long, unsigned long, double,
// std::string (quoted when constructed with true) and thread ids; nothing for
// other types.
class SimpleAttributeWriter {
 public:
  explicit SimpleAttributeWriter(bool quoteStrings) : quoteStrings_(quoteStrings) {}

  void operator()(const boost::log::attribute_value& value,
                  boost::log::formatting_ostream& stream) const;

 private:
  bool quoteStrings_;
};

}  // namespace nuvrel::logging
