#include "cli/cli.h"

#include <csignal>

#include "table/extended_loader.h"

namespace romscriber {

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

extern "C" void OnInterrupt(int) {
  g_interrupted.store(true);
}

}  // namespace

const std::atomic<bool>& StopOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  return g_interrupted;
}

SearchControl ControlOf(const std::atomic<bool>& stop, ProgressLine& line, std::string label) {
  SearchControl control;
  control.Stop = &stop;
  control.Progress = [&line, label = std::move(label)](double done) {
    line.DrawShare(label, done);
  };
  return control;
}

bool ProgressLine::Due() const {
  return m_enabled && (!m_drawn || std::chrono::steady_clock::now() - m_last >=
                                       std::chrono::milliseconds(250));
}

void ProgressLine::Draw(const std::string& text) {
  if (!Due()) return;
  m_last = std::chrono::steady_clock::now();
  m_err << "\r\x1b[K" << text << std::flush;
  m_drawn = true;
}

void ProgressLine::DrawShare(const std::string& label, double done) {
  if (Due()) Draw(label + ": " + std::to_string(static_cast<int>(done * 100)) + "%");
}

void ProgressLine::Erase() {
  if (m_drawn) m_err << "\r\x1b[K" << std::flush;
  m_drawn = false;
}

std::string Thousands(std::int64_t n) {
  const std::string digits = std::to_string(n < 0 ? -n : n);
  std::string out = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back('.');
    out.push_back(digits[i]);
  }
  return out;
}

std::optional<std::string> TableOptionsRefusal(const std::string& format,
                                               const std::optional<std::string>& encoding) {
  const bool extended = format == "extended";
  if (!extended && format != "classic")
    return "El formato de tabla debe ser classic o extended: " + format;
  if (!extended && encoding) {
    return "--table-encoding solo vale con --table-format extended: una tabla clásica se lee "
           "byte a byte.";
  }
  if (encoding && !IsKnownEncoding(*encoding)) {
    return "Codificación desconocida: " + *encoding +
           " (se esperaba un nombre de iconv, como utf-8, shift_jis o utf-16).";
  }
  return std::nullopt;
}

}  // namespace romscriber
