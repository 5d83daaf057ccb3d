#include "kj/http_header.h"

namespace nuvrel::kj_asio {
namespace {

struct Table {
  Table() {
    kj::HttpHeaderTable::Builder builder;
    accept = builder.add("Accept");
    kernelUid = builder.add("Nuvrel-Kernel-Uid");
    kernelVersion = builder.add("Nuvrel-Kernel-Version");
    table = builder.build();
  }
  kj::HttpHeaderId accept = kj::HttpHeaderId::HOST;
  kj::HttpHeaderId kernelUid = kj::HttpHeaderId::HOST;
  kj::HttpHeaderId kernelVersion = kj::HttpHeaderId::HOST;
  kj::Own<kj::HttpHeaderTable> table;
};

const Table& table() {
  static const Table instance;
  return instance;
}

}  // namespace

const kj::HttpHeaderTable& HttpHeader::defaultTable() { return *table().table; }
kj::HttpHeaderId HttpHeader::accept() { return table().accept; }
kj::HttpHeaderId HttpHeader::kernelUid() { return table().kernelUid; }
kj::HttpHeaderId HttpHeader::kernelVersion() { return table().kernelVersion; }
kj::HttpHeaders HttpHeader::make() { return kj::HttpHeaders(defaultTable()); }

}  // namespace nuvrel::kj_asio
