// What an open file of the default services is: a descriptor. Only the platform's
// own files see it.
#pragma once

namespace velkar {

struct PlatformFile {
  int fd;
};

}  // namespace velkar
