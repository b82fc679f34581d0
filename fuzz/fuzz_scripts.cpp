// The three script readers on arbitrary bytes: the first byte picks TSV, PO
// or Atlas. A reader may only refuse with AppError; what it reads must be
// written and read back to the same strings; and every block allocated while
// an input is read must be freed by the end of it (see "Leaks" below).
#include <dlfcn.h>
#include <gettext-po.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/app_error.h"
#include "scripts/atlas.h"
#include "scripts/po.h"
#include "scripts/tsv.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ROMSCRIBER_FUZZ_TRACK_LEAKS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ROMSCRIBER_FUZZ_TRACK_LEAKS 1
#endif

#ifdef ROMSCRIBER_FUZZ_TRACK_LEAKS
#include <sanitizer/asan_interface.h>
#include <sanitizer/lsan_interface.h>
// Declared here: GCC ships the function in its runtime but not the header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*mallocHook)(const volatile void*, std::size_t), void (*freeHook)(const volatile void*));
#endif

// --- Leaks -------------------------------------------------------------------
//
// libgettextpo leaks blocks of its own in po_file_read: its lexer's copy of
// the file name every time, the words of some syntax errors. libFuzzer's own
// leak check guesses a leak whenever an input allocates more blocks than it
// frees, and then scans the whole heap with LeakSanitizer (milliseconds), so
// every PO input used to be scanned; and after 1,000 scans libFuzzer stops
// checking leaks for the rest of the run. So this target checks leaks itself,
// and turns libFuzzer's check off (LLVMFuzzerInitialize):
//
// - What po_file_read allocates belongs to the library: the po_file_t, freed
//   by po_file_free, and the library's own leaks, which LeakSanitizer is told
//   to pass over (__lsan_disable around the call). Both functions are
//   wrapped here (the program's definitions come before the library's) so
//   that a po_file_t ReadPo never frees is caught as well.
// - Every other block allocated during an input (by the readers, and by what
//   libgettextpo hands ReadPo after the read: the header, extracted comments,
//   a header field, the message iterator) is tracked by the sanitizer's
//   allocation hooks, in a table that never allocates. When one is still
//   there at the input's end, it is a leak.
//
// Without AddressSanitizer (the plain replay build) only the po_file_t count
// is checked.

namespace {

thread_local bool t_tracking = false;       // inside LLVMFuzzerTestOneInput
thread_local bool t_inLibraryRead = false;  // inside po_file_read
int g_openPoFiles = 0;

template <class F>
F Next(const char* name) {
  void* real = dlsym(RTLD_NEXT, name);
  if (real == nullptr) std::abort();
  return reinterpret_cast<F>(real);
}

// libgettextpo's own functions, found once before any input is tracked.
struct Gettext {
  po_file_t (*Read)(const char*, po_xerror_handler_t) =
      Next<po_file_t (*)(const char*, po_xerror_handler_t)>("po_file_read_v3");
  void (*Free)(po_file_t) = Next<void (*)(po_file_t)>("po_file_free");
};
const Gettext& RealGettext() {
  static const Gettext gettext;
  return gettext;
}

#ifdef ROMSCRIBER_FUZZ_TRACK_LEAKS

// Open addressing over pointers, removal by shifting back the entries after
// it; no allocation, as it is filled from within malloc.
class LiveBlocks {
 public:
  void Insert(const volatile void* p) {
    if (m_count >= kSlots / 2) {
      m_overflow = true;  // checked in full at the input's end
      return;
    }
    std::size_t i = Home(p);
    while (m_slots[i] != nullptr)
      i = (i + 1) & (kSlots - 1);
    m_slots[i] = p;
    ++m_count;
  }

  void Erase(const volatile void* p) {
    if (m_count == 0) return;
    std::size_t i = Home(p);
    while (m_slots[i] != p) {
      if (m_slots[i] == nullptr) return;  // not one of ours
      i = (i + 1) & (kSlots - 1);
    }
    // Entries after the hole that could not sit in their home move back.
    for (std::size_t j = (i + 1) & (kSlots - 1); m_slots[j] != nullptr;
         j = (j + 1) & (kSlots - 1)) {
      const std::size_t home = Home(m_slots[j]);
      if (((j - home) & (kSlots - 1)) >= ((j - i) & (kSlots - 1))) {
        m_slots[i] = m_slots[j];
        i = j;
      }
    }
    m_slots[i] = nullptr;
    --m_count;
  }

  bool Empty() const { return m_count == 0 && !m_overflow; }
  bool Overflowed() const { return m_overflow; }
  std::size_t Count() const { return m_count; }

  template <class F>
  void ForEach(F f) const {
    for (const volatile void* p : m_slots)
      if (p != nullptr) f(p);
  }

  void Clear() {
    std::memset(static_cast<void*>(m_slots), 0, sizeof m_slots);
    m_count = 0;
    m_overflow = false;
  }

 private:
  static constexpr int kBits = 18;
  static constexpr std::size_t kSlots = std::size_t{1} << kBits;

  static std::size_t Home(const volatile void* p) {
    return static_cast<std::size_t>((reinterpret_cast<std::uintptr_t>(p) >> 4) *
                                    0x9E3779B97F4A7C15ull) >>
           (64 - kBits);
  }

  const volatile void* m_slots[kSlots] = {};
  std::size_t m_count = 0;
  bool m_overflow = false;
};

LiveBlocks g_live;

void OnMalloc(const volatile void* p, std::size_t) {
  if (t_tracking && !t_inLibraryRead) g_live.Insert(p);
}
void OnFree(const volatile void* p) {
  if (t_tracking) g_live.Erase(p);
}

void StartTracking() {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  if (!installed) std::abort();
  RealGettext();
  t_tracking = true;
}

// Every block still there is a leak: its allocation is shown, then a crash
// lets libFuzzer keep the input. (Nothing the readers call fills a cache
// on first use; LeakSanitizer's own scan is no help here, as the stack of
// the call that just returned may still hold the block's address.)
void EndTracking() {
  t_tracking = false;
  if (g_live.Empty()) return;
  if (g_live.Overflowed()) {  // too many blocks at once to tell
    g_live.Clear();
    return;
  }
  std::fprintf(stderr, "fuzz_scripts: the input left %zu blocks allocated:\n", g_live.Count());
  g_live.ForEach([](const volatile void* p) {
    __asan_describe_address(const_cast<void*>(p));
  });
  std::abort();
}

#else

void StartTracking() {
  RealGettext();
  t_tracking = true;
}
void EndTracking() { t_tracking = false; }

#endif

}  // namespace

// libgettextpo's po_file_read, as the library's own: see "Leaks".
po_file_t po_file_read(const char* filename, po_xerror_handler_t handler) {
  t_inLibraryRead = true;
#ifdef ROMSCRIBER_FUZZ_TRACK_LEAKS
  __lsan_disable();
#endif
  po_file_t file = RealGettext().Read(filename, handler);
#ifdef ROMSCRIBER_FUZZ_TRACK_LEAKS
  __lsan_enable();
#endif
  t_inLibraryRead = false;
  if (file != nullptr && t_tracking) ++g_openPoFiles;
  return file;
}

void po_file_free(po_file_t file) {
  if (t_tracking) --g_openPoFiles;
  RealGettext().Free(file);
}

namespace {

using namespace romscriber;

bool Same(const BlockScript& a, const BlockScript& b) {
  if (a.Strings.size() != b.Strings.size()) return false;
  for (std::size_t i = 0; i < a.Strings.size(); ++i) {
    const StringRecord& x = a.Strings[i];
    const StringRecord& y = b.Strings[i];
    if (x.Id != y.Id || x.Pointers != y.Pointers || x.Offset != y.Offset ||
        x.Original != y.Original || x.Translation != y.Translation || x.Fuzzy != y.Fuzzy)
      return false;
  }
  return true;
}

BlockScript ReadPoBytes(std::string_view bytes) {
  return ReadPo(bytes, "f.po", "d");
}

void ReadAndReadBack(std::uint8_t reader, std::string_view bytes) {
  try {
    switch (reader % 3) {
      case 0: {
        const BlockScript read = ReadTsv(bytes, "f.tsv", "d");
        if (!Same(read, ReadTsv(WriteTsv(read), "f.tsv", "d"))) std::abort();
        break;
      }
      case 1: {
        const BlockScript read = ReadPoBytes(bytes);
        if (!Same(read, ReadPoBytes(WritePo(read)))) std::abort();
        break;
      }
      default: {
        BlockScript read = ReadAtlas(bytes, "f.txt", "d");
        // Atlas pointer writes need a pointer format when there are pointers.
        AtlasBlock block{"d.atlas.tbl", AddressMap({}, INT64_MAX), PointerFormat{}, {}};
        if (!Same(read, ReadAtlas(WriteAtlas(read, block), "f.txt", "d"))) std::abort();
        break;
      }
    }
  } catch (const AppError&) {
    // a refusal is the one allowed failure
  }
}

}  // namespace

// libFuzzer's leak check off (see "Leaks"); flags given after it still win.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static char noLeakCheck[] = "-detect_leaks=0";
  static std::vector<char*> args;
  args.assign(*argv, *argv + *argc);
  args.insert(args.begin() + 1, noLeakCheck);
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size()) - 1;
  *argv = args.data();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  StartTracking();
  ReadAndReadBack(data[0], std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  EndTracking();
  if (g_openPoFiles != 0) {
    std::fprintf(stderr, "fuzz_scripts: a po_file_t was never freed\n");
    std::abort();
  }
  return 0;
}
