// The code search's rules, apart from any widget: which row a search text finds, which
// row is shown as the entry after it (both shared with the command-line reader), and how
// tall a definition label grows.
#pragma once

#include "definitions/code_search.h"

namespace vx414 {

// One 345-twip line for each 9,000 twips of text width, five lines at most.
constexpr int definitionLabelHeight(long long textWidthTwips)
{
    if (textWidthTwips <= 9000)
        return 345;
    if (textWidthTwips <= 18000)
        return 690;
    if (textWidthTwips <= 27000)
        return 1035;
    if (textWidthTwips <= 36000)
        return 1380;
    return 1725;
}

}  // namespace vx414
