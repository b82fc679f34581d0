#include "window/run_host.h"

#include <QCoreApplication>
#include <algorithm>

namespace romscriber {

WindowRunHost::WindowRunHost(QLabel& progressLabel, std::function<bool()> closeRequested,
                             qint64 serviceEveryMs)
    : m_progressLabel(progressLabel),
      m_closeRequested(std::move(closeRequested)),
      m_serviceEveryMs(serviceEveryMs) {
  m_sinceService.start();
}

void WindowRunHost::ServiceEvents() {
  const qint64 waited = m_sinceService.elapsed();
  if (waited < m_serviceEveryMs) return;
  if (!m_progressShown) {
    m_progressLabel.setText(QString::fromStdString(m_progress));
    m_progressShown = true;
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  ++m_stats.Services;
  m_stats.LongestGapMs = std::max(m_stats.LongestGapMs, waited);
  m_sinceService.restart();
  if (m_closeRequested()) throw RunAborted{};
}

void WindowRunHost::ShowProgress(const std::string& text) {
  m_progress = text;
  m_progressShown = false;
}

void WindowRunHost::Finish() {
  if (!m_progressShown) m_progressLabel.setText(QString::fromStdString(m_progress));
  m_progressShown = true;
}

}  // namespace romscriber
