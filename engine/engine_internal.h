// The engine's inside, for its own files, the tests, the benchmarks and the fuzzers:
// the module-level state of a run, every step of RunSort and the comparison routines.
// One run at a time: the state is process-wide and the routines are not reentrant.
#pragma once

#include <string.h>  // strnlen

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "platform/platform.h"

namespace velkar {

// ---- Module-level state (run_sort.cpp, line_table.cpp, comparators.cpp) ----

// Window given by the caller of the current or last run; owns every box of the run
// and is the window the clipboard is opened for. Stored anew at the start of a run.
extern WindowHandle OwnerWindow;
// The input text of the run plus a NUL; from the input step until RunSort releases it.
extern char* readbuf;
// Line pointers into readbuf, LineCount of them; from AllocLineTable to FreeLineTable.
extern char** Base;
// Number of lines stored in Base by SplitLines.
extern std::int64_t LineCount;
// Sum over the stored lines of (length + 2): the output block holds OutputSize + 1 bytes.
extern std::uint64_t OutputSize;
// Set by BuildOutput: the bytes of the text it wrote into the block (its NUL not
// counted) and the number of lines among them.
extern std::uint64_t OutputLength;
extern std::uint64_t OutputLines;
// Locked address of the output block, from AllocOutputBlock to FreeOutputBlock; the
// handle is found from it with GlobalHandle when needed.
extern char* pMem;
// Set when the clipboard accepted the output block: from then on it is the clipboard's.
extern bool BlockTaken;
// Key position of the current or last sort; read by every comparison routine.
extern std::int32_t SortPos;
// Field string keys of the first and the second line of a comparison: 512 bytes + NUL.
inline constexpr std::size_t kKeyBufferSize = 513;
extern char LeftKeyBuffer[kKeyBufferSize];
extern char RightKeyBuffer[kKeyBufferSize];

// ---- Messages (run_sort.cpp) ----

// The engine's one error report: a modal box owned by OwnerWindow, "VELKAR-ERROR",
// OK button and error icon. Returns when the user has closed it.
void ShowError(const char* text);
// Formats a message and shows it through ShowError. The text is formatted whole,
// however long the file name in it.
void ShowErrorFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A formatted message of any length: kept on the stack when short, else in heap
// memory from the platform. When even that fails, the text is cut to the stack buffer.
class MessageText {
 public:
  MessageText() = default;
  ~MessageText();
  MessageText(const MessageText&) = delete;
  MessageText& operator=(const MessageText&) = delete;
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char* format, va_list args);
  const char* c_str() const { return text_; }

 private:
  char local_[512] = {};
  char* text_ = local_;
};

// ---- Input and line table (line_table.cpp) ----

// The run's input: a file, or the clipboard's text (nullptr as the name), read in
// parts (text_input.cpp). Every failure is shown by the source, once.
class TextSource {
 public:
  TextSource() = default;
  TextSource(const TextSource&) = delete;
  TextSource& operator=(const TextSource&) = delete;
  ~TextSource();
  // Opens the input: 0, or -1 after its message (the clipboard then closed).
  int Open(const char* fileName);
  // Whether the size of the text is known beforehand (a regular file, a clipboard
  // block), and that size.
  bool SizeKnown() const { return sizeKnown_; }
  std::uint64_t Size() const { return size_; }
  // Reads the next bytes of the text, up to `size`; fewer only at its end or after
  // a failure, which has then been shown (Failed).
  std::uint64_t Read(char* buffer, std::uint64_t size);
  bool AtEnd() const { return ended_; }
  bool Failed() const { return failed_; }
  // Shows a failure of the input step: a clipboard box while the clipboard is
  // open, a file's after the file is closed. The source is closed after it.
  void Fail(const char* message);
  // Closes the file or the clipboard.
  void Close();

 private:
  PlatformFile* file_ = nullptr;
  MemHandle block_ = nullptr;
  const char* text_ = nullptr;  // the clipboard block's locked text
  bool clipboardOpen_ = false;
  bool inParts_ = false;
  bool sizeKnown_ = false;
  bool ended_ = false;
  bool failed_ = false;
  std::uint64_t size_ = 0;
  std::uint64_t done_ = 0;
};
// Reads the text into a new buffer (its bytes and a NUL) while it fits in `limit`
// bytes: *whole tells whether that is all of it, *length how much was read. nullptr
// when the source failed (shown), or, with nothing read, when its known size passes
// the limit.
char* ReadInput(TextSource& source, std::uint64_t limit, std::uint64_t* length, bool* whole);
// Number of lines in the text: every piece ended by LF before the first NUL, and the
// non-empty piece after the last LF unless it is only the end-of-file mark 0x1A.
std::int64_t CountLines(const char* text);
// Allocates Base for `count` lines (1 or more). 0, or -1 after showing its message.
int AllocLineTable(std::int64_t count);
// Cuts the text in place into at most `count` lines (CountLines' rule): fills Base,
// LineCount and OutputSize.
void SplitLines(char* text, std::int64_t count);
// Asks the system to back the large block with large pages where it offers them:
// fewer page faults while the block is first written.
void AdviseLargePages(void* p, std::size_t size);
// Releases Base if it was allocated.
void FreeLineTable();

// ---- Sort keys and comparators (keys.cpp, comparators.cpp, sort_lines.cpp) ----

// A comparison routine: negative when the first line goes first, positive when it
// goes after, 0 when both compare equal. Only the sign counts.
using Comparator = int (*)(const char* first, const char* second);

// Byte comparison of two texts (bytes unsigned, the end as byte 0): -1, 0 or 1.
int CompareBytes(const char* a, const char* b);
// As CompareBytes with a..z folded to A..Z: the folded difference at the first
// mismatch, 0 when none.
int CompareFolded(const char* a, const char* b);
// Number value of a text: white space, one sign, decimal digits, 32-bit wrap-around.
std::int32_t NumberValue(const char* text);
// Whether the line is longer than SortPos, read as unsigned 32-bit so that a negative
// position lies beyond the end of every line: a column key needs it. strnlen stops
// after SortPos + 1 bytes.
inline bool HasColumn(const char* line) {
  const std::size_t pos = static_cast<std::uint32_t>(SortPos);
  return ::strnlen(line, pos + 1) > pos;
}
// Start of field SortPos in the line, or nullptr when the line has fewer commas.
// A SortPos of 0 or less passes no comma.
const char* LocateField(const char* line);
// Field SortPos of the line copied into `buffer` (at most 512 bytes + NUL); the
// buffer, or nullptr when the line lacks the field.
char* FieldKeyText(const char* line, char* buffer);
// Number value of field SortPos (one leading double quote passed over); 0 when the
// line lacks the field.
std::int32_t FieldKeyNumber(const char* line);

// The rows of ComparatorTable: what a line is compared by. A text row compares
// bytes, or bytes with a..z folded when the order ignores case; a number row
// compares values and ignores the case bit.
enum ComparatorRow : int {
  kRowNone = -1,     // no routine: the table keeps its order
  kRowLineText,      // the whole line as text
  kRowColumnText,    // the text from byte SortPos on
  kRowFieldText,     // comma field SortPos as text
  kRowLineNumber,    // the number at the line's start
  kRowColumnNumber,  // the number at byte SortPos
  kRowFieldNumber,   // the number in comma field SortPos
  kRowCount,
};
// Whether the line has the key of the row: a column key needs a line longer than
// SortPos, a text field key the field. A line without its key compares equal to
// every line and keeps its place in the sorted table. Number fields are always
// there (a missing one is 0).
inline bool LineHasKey(ComparatorRow row, const char* line) {
  switch (row) {
    case kRowColumnText:
    case kRowColumnNumber:
      return HasColumn(line);
    case kRowFieldText:
      return LocateField(line) != nullptr;
    default:
      return true;
  }
}
// Columns: the order index (bit 0 descending, bit 1 ignore case).
extern const Comparator ComparatorTable[kRowCount][4];
// The row of ComparatorTable for these settings, kRowNone for no sort.
ComparatorRow SelectRow(std::int32_t sortPos, std::int32_t keyMode);
// The routine SortLines uses for these settings, or nullptr for no sort.
Comparator SelectComparator(std::int32_t order, std::int32_t sortPos, std::int32_t keyMode);
// Stores SortPos and sorts Base[0 .. lineCount-1] in the order of the selected
// routine: a table already in that order or its reverse in one pass, any other by
// located keys (SortByKeys), or, when that has no room, in place with the routine
// itself. With none selected the table keeps its order.
void SortLines(char** base, std::int64_t lineCount, std::int32_t order, std::int32_t sortPos,
               std::int32_t keyMode);

// ---- Output (run_sort.cpp; the file delivery in file_delivery.cpp) ----

// Allocates and locks the output block of OutputSize + 1 zero bytes into pMem.
// 0, or -1 after showing its message (nothing is left allocated).
int AllocOutputBlock();
// How the lines of the block end: LF for the clipboard, CR LF for a file.
enum class LineEnds { kLf, kCrLf };
// Writes the lines of Base into the block, each followed by its line end, and sets
// OutputLength and OutputLines; bit 2 of sortMode drops a line equal to the one
// before it (bit 1: ignoring ASCII case).
void BuildOutput(std::int32_t sortMode, LineEnds ends = LineEnds::kLf);
// The delivery of a sorted table in memory: into the clipboard's block, or line by
// line to a file or standard output. The text and table are released either way.
// 0, or -1 after the message.
int WriteBlock(std::int32_t sortMode);
int WriteLines(std::int32_t sortMode, const char* outputName);
// Delivers the block's text, built with CR LF ends, to a file. 0, or -1 after its
// message, which counts the bytes as LF text.
int WriteTextFile(const char* fileName);

// The delivery of a CR LF text to a file in parts (file_delivery.cpp): Open, Write
// each part, then Finish, or Abandon after a failure elsewhere.
class FileDelivery {
 public:
  FileDelivery() = default;
  FileDelivery(const FileDelivery&) = delete;
  FileDelivery& operator=(const FileDelivery&) = delete;
  ~FileDelivery() { Abandon(); }
  // Opens the delivery of at most `upperBound` bytes to `fileName`: 0, or -1 after
  // the open message.
  int Open(const char* fileName, std::uint64_t upperBound);
  // Writes the next part; false once a write has failed (later parts are dropped).
  bool Write(const char* data, std::uint64_t size);
  // Whether a write has failed or no space could be reserved: the rest need not
  // be written, only its length counted for the message.
  bool Failed() const { return failed_ || reserveFailed_; }
  // Completes the delivery: `length` is the whole text's length as LF text, for
  // the message. 0, or -1 after the write-error message.
  int Finish(std::uint64_t length);
  // Closes the file and removes a temporary one, after a failure shown elsewhere.
  void Abandon();

 private:
  int OpenInPlace(const char* fileName, std::uint64_t upperBound);
  int Retry(std::uint64_t length);

  PlatformFile* file_ = nullptr;
  std::string name_;      // the name given
  std::string target_;    // the file a replacement is renamed over
  std::string tempName_;  // the temporary file, while there is one
  unsigned mode_ = 0;
  bool inPlace_ = false;
  bool failed_ = false;
  bool reserveFailed_ = false;
  std::uint64_t written_ = 0;      // CR LF bytes written
  std::uint64_t lfWritten_ = 0;    // the LF text they stand for
  std::uint64_t writtenBack_ = 0;  // bytes whose write to storage has been started
  static constexpr std::uint64_t kWriteBackStep = std::uint64_t{8} << 20;
};

// The number of LFs among the first `length` bytes of a text.
std::uint64_t CountLineFeeds(const char* text, std::uint64_t length);
// Hands the block to the clipboard. 0, or -1 after its message.
int WriteClipboardText();
// Unlocks the block and frees it unless the clipboard took it.
void FreeOutputBlock();

// What the last sort beyond memory did, for the tests: the sorted runs its pieces
// made and the merge passes (the last one into the output included).
struct BeyondMemoryStats {
  std::uint64_t runs = 0;
  std::uint64_t passes = 0;
};
// The line table and the sort's work array take at most this much a line (the
// pointer in Base and the number sort's two 16-byte entries).
inline constexpr std::uint64_t kTableBytesPerLine = 40;
// The most text a run holds at once: half its budget, the line table and work
// array taking the other half; a run in memory holds its whole text within it, a
// run beyond memory a piece.
inline std::uint64_t PieceLimit(std::uint64_t budget) { return budget / 2 > 64 ? budget / 2 : 64; }
extern BeyondMemoryStats LastBeyondMemory;
// Sorts the text beyond the memory budget: the source's text, of which `buffer`
// (HeapAlloc'd, `capacity` bytes, or nullptr) holds the first `length` bytes, is
// sorted in pieces written to temporary runs and merged into the output. Takes the
// buffer over. 0, or -1 after its message.
int SortBeyondMemory(TextSource& source, char* buffer, std::uint64_t capacity, std::uint64_t length,
                     std::uint64_t budget, std::int32_t sortMode, const char* outputName,
                     std::int32_t sortPos, std::int32_t keyMode);

// How many bytes of the LF text the first `written` bytes of its CR LF form stand
// for (an added CR without its LF counts for nothing).
std::uint64_t SourceBytesWritten(const char* expanded, std::uint64_t expandedLength,
                                 std::uint64_t written);

}  // namespace velkar
