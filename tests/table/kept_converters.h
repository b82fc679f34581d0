// glibc unloads an iconv converter some loads after its last user closes it.
// Tests and fuzz targets that switch between many encodings keep one of each
// open, both ways, so that they measure the table loader rather than the
// dynamic loader.
#pragma once

#include <iconv.h>

#include <vector>

namespace romscriber::testing {

inline void KeepConvertersLoaded() {
  struct KeptConverters {
    KeptConverters() {
      for (const char* name : {"UTF-16LE", "UTF-16BE", "CP932", "EUC-JP", "WINDOWS-1251"}) {
        cds.push_back(iconv_open("UTF-8", name));
        cds.push_back(iconv_open(name, "UTF-8"));
      }
    }
    ~KeptConverters() {
      for (iconv_t cd : cds)
        iconv_close(cd);
    }
    std::vector<iconv_t> cds;
  };
  static const KeptConverters kept;
}

}  // namespace romscriber::testing
