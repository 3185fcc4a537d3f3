// The comparison routines: the eighteen routines of ComparatorTable (whole line,
// column and field keys as text or as numbers, each ascending and descending, text
// also ignoring case), the key position they read, and the choice of a routine from
// the run's settings.
#include "engine/engine_internal.h"

namespace velkar {

std::int32_t SortPos = 0;
char LeftKeyBuffer[kKeyBufferSize];
char RightKeyBuffer[kKeyBufferSize];

namespace {

inline int CompareNumbers(std::int32_t a, std::int32_t b) { return (a > b) - (a < b); }

// Every result below lies within -255..255, so reversing the sign cannot overflow.

int LineBytesAsc(const char* a, const char* b) { return CompareBytes(a, b); }
int LineBytesDesc(const char* a, const char* b) { return -CompareBytes(a, b); }
int LineFoldedAsc(const char* a, const char* b) { return CompareFolded(a, b); }
int LineFoldedDesc(const char* a, const char* b) { return -CompareFolded(a, b); }

int ColumnBytesAsc(const char* a, const char* b) {
  if (!HasColumn(a) || !HasColumn(b)) return 0;
  std::size_t pos = static_cast<std::uint32_t>(SortPos);
  return CompareBytes(a + pos, b + pos);
}
int ColumnBytesDesc(const char* a, const char* b) { return -ColumnBytesAsc(a, b); }
int ColumnFoldedAsc(const char* a, const char* b) {
  if (!HasColumn(a) || !HasColumn(b)) return 0;
  std::size_t pos = static_cast<std::uint32_t>(SortPos);
  return CompareFolded(a + pos, b + pos);
}
int ColumnFoldedDesc(const char* a, const char* b) { return -ColumnFoldedAsc(a, b); }

int FieldBytesAsc(const char* a, const char* b) {
  const char* left = FieldKeyText(a, LeftKeyBuffer);
  const char* right = FieldKeyText(b, RightKeyBuffer);
  if (left == nullptr || right == nullptr) return 0;
  return CompareBytes(left, right);
}
int FieldBytesDesc(const char* a, const char* b) { return -FieldBytesAsc(a, b); }
int FieldFoldedAsc(const char* a, const char* b) {
  const char* left = FieldKeyText(a, LeftKeyBuffer);
  const char* right = FieldKeyText(b, RightKeyBuffer);
  if (left == nullptr || right == nullptr) return 0;
  return CompareFolded(left, right);
}
int FieldFoldedDesc(const char* a, const char* b) { return -FieldFoldedAsc(a, b); }

int LineNumberAsc(const char* a, const char* b) {
  return CompareNumbers(NumberValue(a), NumberValue(b));
}
int LineNumberDesc(const char* a, const char* b) { return -LineNumberAsc(a, b); }

int ColumnNumberAsc(const char* a, const char* b) {
  if (!HasColumn(a) || !HasColumn(b)) return 0;
  std::size_t pos = static_cast<std::uint32_t>(SortPos);
  return CompareNumbers(NumberValue(a + pos), NumberValue(b + pos));
}
int ColumnNumberDesc(const char* a, const char* b) { return -ColumnNumberAsc(a, b); }

int FieldNumberAsc(const char* a, const char* b) {
  return CompareNumbers(FieldKeyNumber(a), FieldKeyNumber(b));
}
int FieldNumberDesc(const char* a, const char* b) { return -FieldNumberAsc(a, b); }

}  // namespace

// Ignoring case means nothing to a number key: its columns 2 and 3 repeat 0 and 1.
const Comparator ComparatorTable[kRowCount][4] = {
    {LineBytesAsc, LineBytesDesc, LineFoldedAsc, LineFoldedDesc},
    {ColumnBytesAsc, ColumnBytesDesc, ColumnFoldedAsc, ColumnFoldedDesc},
    {FieldBytesAsc, FieldBytesDesc, FieldFoldedAsc, FieldFoldedDesc},
    {LineNumberAsc, LineNumberDesc, LineNumberAsc, LineNumberDesc},
    {ColumnNumberAsc, ColumnNumberDesc, ColumnNumberAsc, ColumnNumberDesc},
    {FieldNumberAsc, FieldNumberDesc, FieldNumberAsc, FieldNumberDesc},
};

ComparatorRow SelectRow(std::int32_t sortPos, std::int32_t keyMode) {
  switch (keyMode) {
    case kKeyColumn:  // a string key at position 0 is the whole line
      return sortPos == 0 ? kRowLineText : kRowColumnText;
    case kKeyField:
      return sortPos == 0 ? kRowLineText : kRowFieldText;
    case kKeyColumn | kKeyNumber:
      return sortPos == 0 ? kRowLineNumber : kRowColumnNumber;
    case kKeyField | kKeyNumber:  // field 0 still passes a leading double quote
      return kRowFieldNumber;
    default:
      return kRowNone;
  }
}

Comparator SelectComparator(std::int32_t order, std::int32_t sortPos, std::int32_t keyMode) {
  if (order < 0 || order > 3) return nullptr;
  const ComparatorRow row = SelectRow(sortPos, keyMode);
  return row == kRowNone ? nullptr : ComparatorTable[row][order];
}

}  // namespace velkar
