// The fuzzer's bytes are a kept read's file as vx414-read --previous and the window's
// "Previous reads…" open it. Whatever the bytes, the reader must stay in bounds and either
// refuse them with a reason or give a read that, written again, reads back to the very same
// document: nothing of a read is changed by keeping it twice.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "report/report_json_read.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const vx414::ReadFromJson first = vx414::reportFromJson(text);
  if (!first.report) {
    require(!first.error.empty());
    return 0;
  }
  const std::string written = vx414::reportAsJson(*first.report);
  const vx414::ReadFromJson second = vx414::reportFromJson(written);
  require(second.report.has_value());
  require(vx414::reportAsJson(*second.report) == written);
  return 0;
}
