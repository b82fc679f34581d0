// Everything the extraction run needs from the world around it. The window,
// the command-line dumper and the tests each supply their own.
//
//   ByteSource     the bytes of the ROM image
//   ScriptSink     where each finished script goes
//   RunHost        event servicing and the progress display
//   stop flag      set by whoever wants the run to stop (a click, SIGINT)
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace romscriber {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Length of the image in bytes; fixed for the life of the source.
  virtual std::int64_t Size() const = 0;
  // Fills `out` with the bytes at [offset, offset + out.size()), which lie
  // within Size(). Throws AppError when they cannot be read.
  virtual void ReadAt(std::int64_t offset, std::span<std::uint8_t> out) = 0;
  // The whole image when the source holds it in memory, so that it need not
  // be copied; empty otherwise.
  virtual std::span<const std::uint8_t> Whole() const { return {}; }
};

class ScriptSink {
 public:
  virtual ~ScriptSink() = default;
  // Stores one finished script: `name` is the decimal offset of its first
  // item, `text` its whole text. Throws AppError on failure.
  virtual void WriteScript(std::string_view name, std::string_view text) = 0;
};

class RunHost {
 public:
  virtual ~RunHost() = default;
  // Lets pending window events through. Called every few thousand examined
  // positions and after each script written; the host may skip the work when
  // it last ran only a moment ago.
  virtual void ServiceEvents() = 0;
  // Shows the progress text ("150 (75%)") of a recently examined position;
  // at the end of a run, that of the last one examined.
  virtual void ShowProgress(const std::string& text) = 0;
};

struct RunHooks {
  ByteSource& Rom;
  ScriptSink& Scripts;
  RunHost& Host;
  const std::atomic<bool>& StopRequested;
};

}  // namespace romscriber
