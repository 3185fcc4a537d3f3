// Every text the engine shows, once. Sizes print as full 64-bit unsigned decimals;
// names print whole (the formatter sizes its buffer to the text).
#pragma once

#include <cinttypes>

namespace velkar {

// Captions and box styles of the engine's two kinds of box.
inline constexpr const char kErrorCaption[] = "VELKAR-ERROR";
inline constexpr const char kFinishCaption[] = "VELKAR";
inline constexpr const char kFinishText[] = "Finish!";

// The run itself.
inline constexpr const char kMsgSortModeRange[] = "SortMode is out of Range!";
inline constexpr const char kMsgNoLine[] = "No Line!";

// Input: the file and the clipboard.
inline constexpr const char kMsgReadOpen[] = "File Open Error![%s]";
inline constexpr const char kMsgReadError[] =
    "Read Error!(statbuf.st_size=[%" PRIu64 "], readsize=[%" PRIu64 "])";
inline constexpr const char kMsgReadbufAlloc[] = "Memory Allocate Error![readbuf]";
inline constexpr const char kMsgClipOpen[] = "ClipBoard Open Error!";
inline constexpr const char kMsgClipNoText[] = "No Text in ClipBoard!";
inline constexpr const char kMsgBaseAlloc[] = "Memory Allocate Error!(Base)";

// Output: the block, the file and the clipboard.
inline constexpr const char kMsgBlockAlloc[] = "Memory Allocate Error![hMem]";
inline constexpr const char kMsgWriteOpen[] = "File Open Error!\n[%s]";
inline constexpr const char kMsgWriteError[] =
    "Write Error!(lstrlen(pMem)=[%" PRIu64 "], writesize=[%" PRIu64 "])";
inline constexpr const char kMsgClipEmpty[] = "ClipBoard Empty Error!";
inline constexpr const char kMsgClipWrite[] = "ClipBoard Write Error!";

// The temporary runs of a sort beyond memory: the folder they go to, and what failed.
inline constexpr const char kMsgTempCreate[] = "Temporary File Create Error![%s]";
inline constexpr const char kMsgTempWrite[] = "Temporary File Write Error![%s]";
inline constexpr const char kMsgTempRead[] = "Temporary File Read Error![%s]";

}  // namespace velkar
