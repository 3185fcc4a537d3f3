// The fast sort of the line table: every line's key is located once into one work
// array (its next key bytes, or its number value), the array is radix sorted and
// the table rewritten from it. Same order as the comparison routine of the row.
#pragma once

#include <cstdint>

#include "engine/engine_internal.h"

namespace velkar {

// Sorts base[0 .. lineCount-1] by comparator row `row` in order index `order`, at
// the key position held in SortPos: the order the row's routine gives. Lines without a key
// (a column key on a line not longer than SortPos, a missing text field), which
// compare equal to every line, keep their places, and the lines with a key are
// sorted into the other places, so every pair of lines ends in order.
// Returns false, with the table untouched, when the work array (or the few small
// arrays that keep track of its parts) cannot be had.
bool SortByKeys(char** base, std::int64_t lineCount, std::int32_t order, ComparatorRow row);

}  // namespace velkar
