// Writing scripts on a thread of their own, so that a run goes on decoding
// while the files of the scripts before are written.
//
//   BackgroundScriptSink   queues each script for another sink, in order,
//                          with a cap on the text waiting at once
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "extract/host.h"

namespace romscriber {

// Hands every script to `inner` on a thread of its own, in the order given.
// WriteScript waits while a script would bring the bytes waiting to be
// written (names and texts) past `maxPending`, so memory stays flat however long the run. When `inner` fails,
// the scripts after the failed one are not written and the failure is
// thrown by the next WriteScript, or by Finish. Scripts handed over are
// written before Finish returns, and before the destructor does when Finish
// is not called (a run that ended by an error of its own), so the files are
// those a run writing them itself would leave.
class BackgroundScriptSink : public ScriptSink {
 public:
  explicit BackgroundScriptSink(ScriptSink& inner, std::size_t maxPending = std::size_t{4} << 20);
  ~BackgroundScriptSink() override;
  BackgroundScriptSink(const BackgroundScriptSink&) = delete;
  BackgroundScriptSink& operator=(const BackgroundScriptSink&) = delete;

  void WriteScript(std::string_view name, std::string_view text) override;
  // Waits until every script handed over is written; throws inner's failure.
  void Finish();

 private:
  struct Script {
    std::string Name;
    std::string Text;
  };
  void Work();
  void Close();

  ScriptSink& m_inner;
  const std::size_t m_maxPending;
  std::mutex m_mutex;
  std::condition_variable m_work;   // a script waits, or the queue closes
  std::condition_variable m_room;   // text was written, or the writer failed
  std::deque<Script> m_queue;
  std::size_t m_pending = 0;  // bytes of names and texts queued or being written
  bool m_closing = false;
  std::exception_ptr m_failure;
  std::thread m_writer;
};

}  // namespace romscriber
