#include "definitions/code_ranges.h"

namespace vx414 {

bool isManufacturerRange(std::string_view code) {
  if (code.size() != 5) return false;
  const char letter = static_cast<char>(code[0] & ~0x20);
  const char first = code[1];
  switch (letter) {
    case 'P':
      // P3400 on is the standard's again (cylinder deactivation and after).
      return first == '1' || (first == '3' && code[2] >= '0' && code[2] <= '3');
    case 'B':
    case 'C':
    case 'U':
      return first == '1' || first == '2';
    default:
      return false;
  }
}

}  // namespace vx414
