// The code search's rules, apart from any grid: which row a search text finds and which
// row is shown as the entry after it. The window searches its grids with them, the
// command-line reader its table in memory.
#pragma once

namespace vx414 {

// The one row a code's meaning is taken from: of the rows from 1 on that hold the code
// (holdsCode compares without regard to case) the last one, so that a make's own text,
// loaded after the generic rows, wins; -1 when none holds it. The result table, the code
// search's found entry and the command line's look-up all ask this, so that a code can
// never mean one thing in a read and another in a look-up.
template <class HoldsCode>
int meaningRow(int rows, HoldsCode holdsCode)
{
    for (int row = rows - 1; row >= 1; --row)
        if (holdsCode(row))
            return row;
    return -1;
}

// The first row from 1 to rows - 1 whose text starts with the search text (the caller's
// startsWith compares without regard to case, and a cell shorter than the text never
// starts with it); -1 when none does. Row 0 is a heading and never looked at.
template <class StartsWith>
int firstMatchingRow(int rows, StartsWith startsWith)
{
    for (int row = 1; row < rows; ++row)
        if (startsWith(row))
            return row;
    return -1;
}

// The row shown as the entry after the found row i of the definitions table, or -1 for
// none. A code listed twice in a row (sameCode(i, i + 1)) is passed over; the table's
// last row has no next entry; and the last generic row has none either, so that the
// entry after a generic definition is never taken from the chosen make's rows.
template <class SameCode>
int nextEntryRow(int found, int rows, int genericCount, SameCode sameCode)
{
    int z = found;
    if (found + 1 < rows && sameCode(found, found + 1))
        z = found + 1;
    if (z + 1 >= rows)
        return -1;
    if (z == genericCount - 1)
        return -1;
    return z + 1;
}

}  // namespace vx414
