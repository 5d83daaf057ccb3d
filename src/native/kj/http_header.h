// The one HTTP header table of the process, with the headers the protocol
// upgrade uses. Built on first use (thread-safe), read-only afterwards.
#pragma once

#include <kj/compat/http.h>

namespace nuvrel::kj_asio {

struct HttpHeader {
  static const kj::HttpHeaderTable& defaultTable();
  static kj::HttpHeaderId accept();         // "Accept"
  static kj::HttpHeaderId kernelUid();      // "Nuvrel-Kernel-Uid"
  static kj::HttpHeaderId kernelVersion();  // "Nuvrel-Kernel-Version"
  // A fresh, empty header set on the table.
  static kj::HttpHeaders make();
};

}  // namespace nuvrel::kj_asio
