#include "logging/log_format.h"

#include <boost/date_time/c_local_time_adjustor.hpp>
#include <boost/date_time/posix_time/posix_time_io.hpp>
#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/attributes/value_visitation.hpp>
#include <boost/log/detail/default_attribute_names.hpp>
#include <boost/mpl/vector.hpp>
#include <fmt/format.h>

#include <algorithm>
#include <sstream>

#include "logging/log_keywords.h"

namespace nuvrel::logging {
namespace {

namespace logging = boost::log;
using logging::formatting_ostream;
using logging::record_view;

constexpr std::size_t kStandardAttributeCount = 6;
constexpr std::size_t kThreadNameWidth = 15;

const KnownAttributeIds& knownAttributeIds() {
  static const KnownAttributeIds ids = makeKnownAttributeIdsArray();
  return ids;
}

void writeSeverity(const record_view& record, formatting_ostream& stream) {
  if (auto severity = logging::extract<Severity>(log_keywords::tag::severity::get_name(), record)) {
    stream << toString(*severity);
  }
}

void writeThreadId(const record_view& record, formatting_ostream& stream) {
  if (auto tid = logging::extract<logging::attributes::current_thread_id::value_type>(
          log_keywords::tag::threadId::get_name(), record)) {
    stream << *tid;
  }
}

void writeCounter(const record_view& record, formatting_ostream& stream) {
  if (auto count =
          logging::extract<unsigned int>(log_keywords::tag::lineCounter::get_name(), record)) {
    stream << *count;
  }
}

logging::value_ref<std::string> threadNameOf(const record_view& record) {
  return logging::extract<std::string>(log_keywords::tag::threadName::get_name(), record);
}

logging::value_ref<std::string> messageOf(const record_view& record) {
  return logging::extract<std::string>(logging::aux::default_attribute_names::message(), record);
}

// Calls `write(name, value)` for every value that is not a standard one, in
// the order of the record's value set, if the count says there are extras.
template <typename Write>
void forEachExtra(const record_view& record, Write&& write) {
  if (!hasExtraAttributes(record)) {
    return;
  }
  bool first = true;
  for (const auto& entry : record.attribute_values()) {
    if (isExtraAttribute(entry.first)) {
      write(entry.first, entry.second, first);
      first = false;
    }
  }
}

class ClassicFormatter {
 public:
  explicit ClassicFormatter(const LogFormatConfig& config)
      : time_(config.timeFormat, config.timeZone) {}

  void operator()(const record_view& record, formatting_ostream& stream) const {
    time_(record, stream);
    stream << " [";
    writeThreadId(record, stream);
    stream << '/';
    auto name = threadNameOf(record);
    const std::string_view shown =
        name ? std::string_view(*name).substr(0, kThreadNameWidth) : std::string_view("unnamed_thread");
    stream << fmt::format("{:<{}}", shown, kThreadNameWidth);
    stream << "] [";
    writeCounter(record, stream);
    stream << "] [";
    writeSeverity(record, stream);
    stream << "] ";
    bool any = false;
    const SimpleAttributeWriter writer(false);
    forEachExtra(record, [&](const logging::attribute_name& attrName,
                             const logging::attribute_value& value, bool first) {
      stream << (first ? "(" : ", ") << attrName.string() << ": ";
      writer(value, stream);
      any = true;
    });
    if (any) {
      stream << ") ";
    }
    if (auto message = messageOf(record)) {
      stream << *message;
    }
  }

 private:
  DateTimeFormatter time_;
};

class LogfmtFormatter {
 public:
  explicit LogfmtFormatter(const LogFormatConfig& config)
      : time_(LogFormatConfig::TimeFormat::iso8601, config.timeZone) {}

  void operator()(const record_view& record, formatting_ostream& stream) const {
    stream << "ts=";
    time_(record, stream);
    stream << " level=";
    writeSeverity(record, stream);
    stream << " count=";
    writeCounter(record, stream);
    stream << " tid=";
    writeThreadId(record, stream);
    stream << " tname=";
    if (auto name = threadNameOf(record)) {
      stream << *name;
    }
    stream << ' ';
    const SimpleAttributeWriter writer(true);
    forEachExtra(record, [&](const logging::attribute_name& attrName,
                             const logging::attribute_value& value, bool) {
      stream << attrName.string() << '=';
      writer(value, stream);
      stream << ' ';
    });
    stream << "msg=";
    auto message = messageOf(record);
    stream << quote(message ? std::string_view(*message) : std::string_view());
  }

 private:
  DateTimeFormatter time_;
};

class ColoredFormatter {
 public:
  explicit ColoredFormatter(logging::formatter inner) : inner_(std::move(inner)) {}

  void operator()(const record_view& record, formatting_ostream& stream) const {
    if (auto severity =
            logging::extract<Severity>(log_keywords::tag::severity::get_name(), record)) {
      if (*severity == Severity::warning) {
        stream << "\x1b[33m";
      } else if (*severity == Severity::error || *severity == Severity::fatal) {
        stream << "\x1b[31m";
      }
    }
    inner_(record, stream);
    stream << "\x1b[0m";
  }

 private:
  logging::formatter inner_;
};

struct AttributeValueWriter {
  using result_type = void;
  formatting_ostream& stream;
  bool quoteStrings;

  void operator()(const std::string& text) const {
    if (quoteStrings) {
      stream << quote(text);
    } else {
      stream << text;
    }
  }
  template <typename T>
  void operator()(const T& value) const {
    stream << value;
  }
};

}  // namespace

DateTimeFormatter::DateTimeFormatter(LogFormatConfig::TimeFormat format,
                                     LogFormatConfig::TimeZone zone)
    : format_(format == LogFormatConfig::TimeFormat::standard ? "%Y-%m-%d %H:%M:%S.%f"
                                                               : "%Y-%m-%dT%H:%M:%S.%f"),
      toLocal_(zone == LogFormatConfig::TimeZone::local) {
  if (zone == LogFormatConfig::TimeZone::utc) {
    format_ += 'Z';
  }
  // The locale owns the facet.
  locale_ = std::locale(std::locale::classic(), new boost::posix_time::time_facet(format_.c_str()));
}

std::string DateTimeFormatter::format(const boost::posix_time::ptime& utc) const {
  const boost::posix_time::ptime shown =
      toLocal_ ? boost::date_time::c_local_adjustor<boost::posix_time::ptime>::utc_to_local(utc)
               : utc;
  std::ostringstream text;
  text.imbue(locale_);
  text << shown;
  return text.str();
}

void DateTimeFormatter::operator()(const record_view& record, formatting_ostream& stream) const {
  if (auto ts = logging::extract<boost::posix_time::ptime>(
          log_keywords::tag::timestamp::get_name(), record)) {
    stream << format(*ts);
  }
}

void SimpleAttributeWriter::operator()(const logging::attribute_value& value,
                                       formatting_ostream& stream) const {
  using Types = boost::mpl::vector<int, unsigned int, long, unsigned long, double, std::string,
                                   logging::attributes::current_thread_id::value_type>;
  logging::visit<Types>(value, AttributeValueWriter{stream, quoteStrings_});
}

KnownAttributeIds makeKnownAttributeIdsArray() {
  KnownAttributeIds ids = {
      log_keywords::tag::timestamp::get_name().id(),
      log_keywords::tag::lineCounter::get_name().id(),
      log_keywords::tag::threadId::get_name().id(),
      log_keywords::tag::threadName::get_name().id(),
      log_keywords::tag::severity::get_name().id(),
      logging::attribute_name(logging::aux::default_attribute_names::message()).id(),
  };
  std::sort(ids.begin(), ids.end());
  return ids;
}

bool hasExtraAttributes(const record_view& record) {
  return record.attribute_values().size() > kStandardAttributeCount;
}

bool isExtraAttribute(const logging::attribute_name& name) {
  const auto& ids = knownAttributeIds();
  return !std::binary_search(ids.begin(), ids.end(), name.id());
}

std::string quote(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 2);
  result.push_back('"');
  for (char c : text) {
    if (c == '"') {
      result.push_back('\\');
    }
    result.push_back(c);
  }
  result.push_back('"');
  return result;
}

logging::formatter classicFormatter(const LogFormatConfig& config) {
  return logging::formatter(ClassicFormatter(config));
}

logging::formatter logfmtFormatter(const LogFormatConfig& config) {
  return logging::formatter(LogfmtFormatter(config));
}

logging::formatter makeColored(logging::formatter formatter) {
  return logging::formatter(ColoredFormatter(std::move(formatter)));
}

logging::formatter makeFormatter(const LogFormatConfig& config) {
  logging::formatter base = config.logfmt ? logfmtFormatter(config) : classicFormatter(config);
  return config.colored ? makeColored(std::move(base)) : base;
}

}  // namespace nuvrel::logging
