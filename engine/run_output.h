// Where a run's sorted lines go when they are written out line by line rather than
// assembled in one block: a file (through FileDelivery), the clipboard in parts
// (standard output), the clipboard's block, or a temporary run. The lines are
// gathered in a bounded buffer and handed on in parts.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#include "engine/engine_internal.h"

namespace velkar {

// A receiver of text parts; false once a part could not be delivered (later parts
// are then dropped by the receiver itself).
class TextSink {
 public:
  virtual ~TextSink() = default;
  virtual bool Put(const char* data, std::uint64_t size) = 0;
};

// Lines into a buffer, each followed by its line end (LF, or CR LF for a file),
// handed to the sink whenever the buffer is full. Counts what it was given as LF
// text, delivered or not.
class LineWriter {
 public:
  LineWriter(TextSink* sink, char* buffer, std::size_t capacity, bool crlf)
      : sink_(sink), buffer_(buffer), capacity_(capacity), crlf_(crlf) {}
  void Line(const char* text, std::size_t length);
  // Hands on a text already in its final form (lines with their ends), counting
  // `lines` lines in it.
  void Text(const char* text, std::size_t size, std::uint64_t lines);
  // Hands on what the buffer holds; false when the sink has failed.
  bool Flush();
  bool Failed() const { return failed_; }
  std::uint64_t Length() const { return length_; }  // the LF text given
  std::uint64_t Lines() const { return lines_; }

 private:
  void Put(const char* data, std::size_t size);

  TextSink* sink_;
  char* buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  bool crlf_;
  bool failed_ = false;
  std::uint64_t length_ = 0;
  std::uint64_t lines_ = 0;
};

// The output of a run written in parts: a file or the clipboard. For a clipboard
// that takes no parts, the lines go into the output block (pMem), which is handed
// over whole at the end.
class RunOutput : public TextSink {
 public:
  RunOutput() = default;
  RunOutput(const RunOutput&) = delete;
  RunOutput& operator=(const RunOutput&) = delete;
  ~RunOutput() override { Abandon(); }
  // Opens the output for at most `outputSize` bytes (OutputSize's measure: each
  // line's length plus two). 0, or -1 after its message.
  int Open(const char* outputName, std::uint64_t outputSize);
  bool CrLf() const { return file_.has_value(); }
  bool Put(const char* data, std::uint64_t size) override;
  // Completes the delivery of `length` bytes of LF text in `lines` lines. 0, or -1
  // after its message.
  int Finish(std::uint64_t length, std::uint64_t lines);
  // Drops the delivery after a failure shown elsewhere.
  void Abandon();

 private:
  std::optional<FileDelivery> file_;
  bool inParts_ = false;
  bool clipboardOpen_ = false;
  bool partFailed_ = false;
  bool toBlock_ = false;
  std::uint64_t blockUsed_ = 0;
};

// A buffer from the platform's heap that frees itself.
struct HeapBuffer {
  HeapBuffer() = default;
  HeapBuffer(const HeapBuffer&) = delete;
  HeapBuffer& operator=(const HeapBuffer&) = delete;
  ~HeapBuffer() { Reset(); }
  // `bytes` new bytes in place of any held; false, holding none, when there are none.
  bool Allocate(std::uint64_t bytes);
  void Reset();
  char* data = nullptr;
  std::uint64_t size = 0;
};

// Writes behind: the parts given to it go to the sink on a thread of its own, so
// that the sink's write calls (copies into the page cache) overlap the work that
// fills the next part. Each part is copied into the one buffer that thread writes
// from, once the part before has been written. Without a second processor, a
// thread or the buffer, or for small parts, they go to the sink on the caller's
// thread as before.
// The thread makes only the sink's calls; boxes and reports stay on the caller's.
class WriteBehind : public TextSink {
 public:
  // Parts are written behind only from buffers of this many bytes on: for smaller
  // ones switching threads costs more than it saves. Tests lower it.
  static std::uint64_t minPart;

  explicit WriteBehind(TextSink* sink) : sink_(sink) {}
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  ~WriteBehind() override { Stop(); }
  // Starts the thread with room for parts of `capacity` bytes, where it helps.
  void Start(std::uint64_t capacity);
  // Hands a part over (or writes it here); false once a part has failed.
  bool Put(const char* data, std::uint64_t size) override;
  // Waits until every part handed over has been written; false when one failed.
  bool Drain();
  // Drains, then ends the thread. Call it before the sink is finished or dropped.
  bool Stop();

 private:
  void Loop();

  TextSink* sink_;
  HeapBuffer buffer_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t pending_ = 0;  // bytes of buffer_ the thread is to write
  bool busy_ = false;          // buffer_ holds a part not yet written
  bool stopping_ = false;
  bool failed_ = false;
};

// Writes the sorted table Base[0 .. LineCount) to the output, dropping duplicate
// neighbours as BuildOutput does. Large tables are assembled on every thread, a
// buffer each, and the buffers written in order. 0, or -1 after its message.
int WriteTable(RunOutput& output, std::int32_t sortMode);

}  // namespace velkar
