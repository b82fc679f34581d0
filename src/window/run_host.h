// The extraction run's hooks on the window's thread. The run calls
// ServiceEvents every few thousand positions; this host lets the window's
// pending events through (paints, the timer, a click on "Detener", closing)
// once a few milliseconds have passed since it last did, and shows the most
// recent progress text in the progress label at the same moments.
#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <functional>
#include <string>

#include "extract/host.h"

namespace romscriber {

// Thrown out of the run when the window is closed while the run is under
// way: the run ends where it is and writes nothing more.
struct RunAborted {};

// How often the window got to handle its events during a run.
struct ServiceStats {
  int Services = 0;         // times pending events were processed
  qint64 LongestGapMs = 0;  // longest wait between two of them, in ms
};

class WindowRunHost : public RunHost {
 public:
  // Pending events are let through at most this often.
  static constexpr qint64 kServiceEveryMs = 15;

  WindowRunHost(QLabel& progressLabel, std::function<bool()> closeRequested,
                qint64 serviceEveryMs = kServiceEveryMs);

  void ServiceEvents() override;
  void ShowProgress(const std::string& text) override;
  // Shows the last progress text the run reported.
  void Finish();
  const ServiceStats& Stats() const { return m_stats; }

 private:
  QLabel& m_progressLabel;
  std::function<bool()> m_closeRequested;
  qint64 m_serviceEveryMs;
  std::string m_progress;
  bool m_progressShown = true;
  QElapsedTimer m_sinceService;
  ServiceStats m_stats;
};

}  // namespace romscriber
