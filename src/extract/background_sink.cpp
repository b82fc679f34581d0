#include "extract/background_sink.h"

namespace romscriber {

BackgroundScriptSink::BackgroundScriptSink(ScriptSink& inner, std::size_t maxPending)
    : m_inner(inner), m_maxPending(maxPending), m_writer([this] { Work(); }) {}

BackgroundScriptSink::~BackgroundScriptSink() { Close(); }

void BackgroundScriptSink::WriteScript(std::string_view name, std::string_view text) {
  // A script's name is never empty, so nothing waits when m_pending is 0.
  const std::size_t size = name.size() + text.size();
  std::unique_lock lock(m_mutex);
  // One script always goes in, however long, when nothing else waits.
  m_room.wait(lock, [&] {
    return m_failure || m_pending == 0 || m_pending + size <= m_maxPending;
  });
  if (m_failure) std::rethrow_exception(m_failure);
  m_queue.push_back({std::string(name), std::string(text)});
  m_pending += size;
  m_work.notify_one();
}

void BackgroundScriptSink::Finish() {
  Close();
  std::lock_guard lock(m_mutex);
  if (m_failure) std::rethrow_exception(m_failure);
}

void BackgroundScriptSink::Close() {
  {
    std::lock_guard lock(m_mutex);
    m_closing = true;
  }
  m_work.notify_one();
  if (m_writer.joinable()) m_writer.join();
}

void BackgroundScriptSink::Work() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_work.wait(lock, [&] { return !m_queue.empty() || m_closing; });
    if (m_queue.empty()) return;
    Script script = std::move(m_queue.front());
    m_queue.pop_front();
    lock.unlock();
    std::exception_ptr failure;
    try {
      m_inner.WriteScript(script.Name, script.Text);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    m_pending -= script.Name.size() + script.Text.size();
    if (failure) {
      // Nothing after a failed script is written.
      m_failure = failure;
      m_queue.clear();
      m_pending = 0;
    }
    m_room.notify_all();
    if (m_failure) return;
  }
}

}  // namespace romscriber
