// The run's output written in parts (run_output.h): the line buffer, the three
// kinds of output, and the sorted table written through them on every thread.
#include "engine/run_output.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "engine/messages.h"
#include "engine/parallel.h"
#include "engine/progress.h"

namespace velkar {

// ---- The line buffer ----

void LineWriter::Put(const char* data, std::size_t size) {
  while (size > 0) {
    if (used_ == capacity_ && !Flush()) {
      // The sink has failed: the rest is only counted.
      return;
    }
    const std::size_t n = std::min(size, capacity_ - used_);
    std::memcpy(buffer_ + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
  }
}

void LineWriter::Line(const char* text, std::size_t length) {
  length_ += length + 1;
  ++lines_;
  if (failed_) return;
  if (capacity_ - used_ >= length + 2) {
    std::memcpy(buffer_ + used_, text, length);
    used_ += length;
    if (crlf_) buffer_[used_++] = '\r';
    buffer_[used_++] = '\n';
    return;
  }
  Put(text, length);
  Put(crlf_ ? "\r\n" : "\n", crlf_ ? 2 : 1);
}

void LineWriter::Text(const char* text, std::size_t size, std::uint64_t lines) {
  length_ += size - (crlf_ ? lines : 0);
  lines_ += lines;
  if (failed_) return;
  if (used_ > 0 && !Flush()) return;
  if (!sink_->Put(text, size)) failed_ = true;
}

bool LineWriter::Flush() {
  if (failed_) return false;
  if (used_ > 0 && !sink_->Put(buffer_, used_)) failed_ = true;
  used_ = 0;
  return !failed_;
}

bool HeapBuffer::Allocate(std::uint64_t bytes) {
  Reset();
  data = bytes < SIZE_MAX ? static_cast<char*>(CurrentPlatform()->HeapAlloc(bytes)) : nullptr;
  size = data != nullptr ? bytes : 0;
  return data != nullptr;
}

void HeapBuffer::Reset() {
  if (data != nullptr) CurrentPlatform()->HeapFree(data);
  data = nullptr;
  size = 0;
}

// ---- Writing behind ----

std::uint64_t WriteBehind::minPart = std::uint64_t{64} << 10;

void WriteBehind::Start(std::uint64_t capacity) {
  if (thread_.joinable() || capacity < minPart || ThreadCount() < 2 || ThreadStartFails) return;
  if (!buffer_.Allocate(capacity)) return;
  stopping_ = false;
  try {
    thread_ = std::thread([this] { Loop(); });
  } catch (const std::exception&) {  // std::system_error, std::bad_alloc
    buffer_.Reset();
  }
}

void WriteBehind::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return busy_ || stopping_; });
    if (!busy_) return;
    const std::uint64_t size = pending_;
    lock.unlock();
    const bool written = sink_->Put(buffer_.data, size);
    lock.lock();
    if (!written) failed_ = true;
    busy_ = false;
    changed_.notify_all();
  }
}

bool WriteBehind::Put(const char* data, std::uint64_t size) {
  if (!thread_.joinable()) {
    if (!failed_ && !sink_->Put(data, size)) failed_ = true;
    return !failed_;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  if (failed_) return false;
  if (size > buffer_.size) {
    // A part larger than the buffer: written here, the thread being idle.
    if (!sink_->Put(data, size)) failed_ = true;
    return !failed_;
  }
  std::memcpy(buffer_.data, data, size);
  pending_ = size;
  busy_ = true;
  changed_.notify_all();
  return true;
}

bool WriteBehind::Drain() {
  if (!thread_.joinable()) return !failed_;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !busy_; });
  return !failed_;
}

bool WriteBehind::Stop() {
  const bool written = Drain();
  if (thread_.joinable()) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  buffer_.Reset();
  return written;
}

// ---- The output ----

int RunOutput::Open(const char* outputName, std::uint64_t outputSize) {
  Platform* platform = CurrentPlatform();
  if (outputName != nullptr) {
    file_.emplace();
    // The CR LF text is at most OutputSize bytes: each line and two line-end bytes.
    if (file_->Open(outputName, outputSize) != 0) {
      file_.reset();
      return -1;
    }
    return 0;
  }
  if (platform->ClipboardInParts()) {
    if (!platform->OpenClipboard(OwnerWindow)) {
      ShowError(kMsgClipOpen);
      return -1;
    }
    clipboardOpen_ = true;
    if (!platform->EmptyClipboard()) {
      ShowError(kMsgClipEmpty);
      platform->CloseClipboard();
      clipboardOpen_ = false;
      return -1;
    }
    inParts_ = true;
    return 0;
  }
  // A clipboard that takes only a whole block: the block, as a run in memory has.
  OutputSize = outputSize;
  if (AllocOutputBlock() != 0) return -1;
  toBlock_ = true;
  blockUsed_ = 0;
  return 0;
}

bool RunOutput::Put(const char* data, std::uint64_t size) {
  if (file_) return file_->Write(data, size);
  if (inParts_) {
    if (!partFailed_ && !CurrentPlatform()->WriteClipboardPart(data, size)) partFailed_ = true;
    return !partFailed_;
  }
  // The block was sized for the whole text and its NUL.
  std::memcpy(pMem + blockUsed_, data, size);
  blockUsed_ += size;
  return true;
}

int RunOutput::Finish(std::uint64_t length, std::uint64_t lines) {
  Platform* platform = CurrentPlatform();
  if (file_) {
    const int result = file_->Finish(length);
    file_.reset();
    return result;
  }
  if (inParts_) {
    inParts_ = false;
    const bool delivered = !partFailed_ && platform->FinishClipboardParts();
    if (!delivered) ShowError(kMsgClipWrite);
    platform->CloseClipboard();
    clipboardOpen_ = false;
    return delivered ? 0 : -1;
  }
  toBlock_ = false;
  OutputLength = blockUsed_;
  OutputLines = lines;
  const int result = WriteClipboardText();
  FreeOutputBlock();
  return result;
}

void RunOutput::Abandon() {
  if (file_) file_->Abandon();
  file_.reset();
  if (clipboardOpen_) CurrentPlatform()->CloseClipboard();
  clipboardOpen_ = false;
  inParts_ = false;
  if (toBlock_) FreeOutputBlock();
  toBlock_ = false;
}

// ---- The sorted table, written out ----

namespace {

// Lines handed to one thread at a time, and the room each thread's buffer has.
constexpr std::int64_t kLinesPerPart = 16384;
constexpr std::size_t kPartBuffer = std::size_t{1} << 20;
constexpr std::int64_t kAhead = 16;

struct TableFilter {
  Platform* platform;
  bool dropDuplicates;
  bool ignoreCase;
  // BuildOutput's rule: a line goes out unless it equals the one before it in the
  // table, written or not.
  bool Writes(std::int64_t i) const {
    return !dropDuplicates || i == 0 || !platform->StringsEqual(Base[i], Base[i - 1], ignoreCase);
  }
};

// Assembles lines from `begin` on into the buffer until `end` or until the next
// line does not fit; returns the line it stopped at. *used gets the bytes and
// *lines the lines written.
std::int64_t AssemblePart(const TableFilter& filter, bool crlf, std::int64_t begin,
                          std::int64_t end, char* buffer, std::size_t capacity, std::size_t* used,
                          std::uint64_t* lines) {
  char* w = buffer;
  char* const limit = buffer + capacity;
  std::uint64_t written = 0;
  std::int64_t i = begin;
  for (; i < end; ++i) {
    if (i + kAhead < end) __builtin_prefetch(Base[i + kAhead]);
    if (!filter.Writes(i)) continue;
    const std::size_t length = std::strlen(Base[i]);
    if (static_cast<std::size_t>(limit - w) < length + 2) break;
    std::memcpy(w, Base[i], length);
    w += length;
    if (crlf) *w++ = '\r';
    *w++ = '\n';
    ++written;
  }
  *used = static_cast<std::size_t>(w - buffer);
  *lines = written;
  return i;
}

}  // namespace

int WriteTable(RunOutput& output, std::int32_t sortMode) {
  Platform* platform = CurrentPlatform();
  const TableFilter filter{platform, (sortMode & kSortUnique) != 0,
                           (sortMode & ~kSortUnique) >= kSortIgnoreCase};
  const bool crlf = output.CrLf();
  const std::int64_t n = LineCount;
  const std::size_t parts = PartsFor(static_cast<std::size_t>(n));
  // Bytes of the text as OutputSize counts them: each line and two line-end bytes.
  ProgressBegin(RunPhase::kWrite, OutputSize);

  // A buffer for each thread and one for the lines written here; without them,
  // every line goes out from here through a small buffer on the stack.
  char fallback[16384];
  const std::size_t threadBuffers = parts > 1 ? parts : 0;
  HeapBuffer buffer;
  const bool owned = buffer.Allocate((threadBuffers + 1) * kPartBuffer);
  const std::size_t own = threadBuffers * kPartBuffer;
  LineWriter writer(&output, owned ? buffer.data + own : fallback,
                    owned ? kPartBuffer : sizeof fallback, crlf);
  std::int64_t next = 0;
  if (parts > 1 && owned) {
    // Each round hands every thread its own run of lines and buffer; the buffers
    // are then written in order, and what did not fit in one goes line by line.
    std::vector<std::size_t> used(parts);
    std::vector<std::uint64_t> lines(parts);
    std::vector<std::int64_t> stops(parts);
    while (next < n && !writer.Failed()) {
      const std::int64_t round = next;
      RunParts(parts, [&](std::size_t k) {
        const std::int64_t begin =
            std::min(n, round + static_cast<std::int64_t>(k) * kLinesPerPart);
        const std::int64_t end = std::min(n, begin + kLinesPerPart);
        stops[k] = AssemblePart(filter, crlf, begin, end, buffer.data + k * kPartBuffer,
                                kPartBuffer, &used[k], &lines[k]);
      });
      for (std::size_t k = 0; k < parts; ++k) {
        const std::int64_t begin =
            std::min(n, round + static_cast<std::int64_t>(k) * kLinesPerPart);
        const std::int64_t end = std::min(n, begin + kLinesPerPart);
        writer.Text(buffer.data + k * kPartBuffer, used[k], lines[k]);
        for (std::int64_t i = stops[k]; i < end; ++i) {
          if (filter.Writes(i)) writer.Line(Base[i], std::strlen(Base[i]));
        }
      }
      next = std::min(n, round + static_cast<std::int64_t>(parts) * kLinesPerPart);
      std::uint64_t bytes = 0;
      for (std::size_t k = 0; k < parts; ++k) bytes += used[k];
      ProgressAdd(bytes);
      ProgressTick();
    }
  }
  std::uint64_t bytes = 0;
  for (std::int64_t i = next; i < n; ++i) {
    if (i + kAhead < n) __builtin_prefetch(Base[i + kAhead]);
    if (filter.Writes(i)) {
      const std::size_t length = std::strlen(Base[i]);
      writer.Line(Base[i], length);
      bytes += length + 2;
    }
    if ((i & 0xFFFF) == 0) {
      ProgressAdd(bytes);
      bytes = 0;
      ProgressTick();
    }
  }
  ProgressAdd(bytes);
  // After a failed write the lines are still counted: the message gives the
  // whole length.
  writer.Flush();
  return output.Finish(writer.Length(), writer.Lines());
}

}  // namespace velkar
