// What the command-line programs share: their exit codes, the help in
// Spanish with the help and version flags, one way to end on a parse error,
// and one way to print an error.
//
//   ExitCode         0 done, 1 a file or a refusal, 2 a bad option, 130 stopped
//   SpanishHelp      CLI11's help texts in Spanish, --help and --version
//   ParseArguments   the exit code when the program ends while parsing
//   ExitForError     prints an AppError as "Error: ..." and gives its exit code
//   PrintRefusal     prints a refusal (with or without the hint to --help), exit 2
//   WarnTo           warnings printed as "Aviso: ..." lines
//   StopOnInterrupt  Ctrl+C sets a stop flag instead of ending the program
//   ProgressLine     a line redrawn in place on a terminal, four times a second
//   ControlOf        a search's stop flag and its progress drawn on such a line
//   Thousands        "12.345", as Spanish writes numbers
//   TableOptionsRefusal  --table-format and --table-encoding that cannot go together
#pragma once

#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <optional>
#include <ostream>
#include <string>

#include "base/app_error.h"
#include "discover/search_control.h"

namespace romscriber {

enum ExitCode : int {
  kExitOk = 0,
  kExitFailed = 1,      // a file could not be read or written, or the work was refused
  kExitRefused = 2,     // an option or setting was refused
  kExitCancelled = 130  // stopped by SIGINT
};

// Prints "Error: <description>" and gives the exit code of the error: a
// refused setting 2, anything else 1.
inline int ExitForError(std::ostream& err, const AppError& e) {
  err << "Error: " << e.Description() << '\n';
  return e.Number() == kErrBadSetting ? kExitRefused : kExitFailed;
}

// Prints `message` on a line of its own and gives kExitRefused.
inline int PrintRefusal(std::ostream& err, const std::string& message) {
  err << message << '\n';
  return kExitRefused;
}

// The same, with "Use --help para ver el uso." on the next line: for a
// refusal that the usage explains.
inline int PrintRefusalWithHelp(std::ostream& err, const std::string& message) {
  err << message << "\nUse --help para ver el uso.\n";
  return kExitRefused;
}

// Warnings printed on `err`, one "Aviso: ..." line each; `err` must outlive
// the callback.
inline Warn WarnTo(std::ostream& err) {
  return [&err](const std::string& warning) { err << "Aviso: " << warning << '\n'; };
}

// A formatter whose usage lines are given rather than made from the options,
// for a program with more than one form.
class UsageFormatter : public CLI::Formatter {
 public:
  explicit UsageFormatter(std::string usage) : m_usage(std::move(usage)) {}
  std::string make_usage(const CLI::App*, std::string) const override { return m_usage; }

 private:
  std::string m_usage;
};

// `usage`, when given, replaces the usage line CLI11 makes ("Uso: ...\n").
inline void SpanishHelp(CLI::App& app, const std::string& version,
                        const std::string& usage = {}) {
  if (!usage.empty()) app.formatter(std::make_shared<UsageFormatter>(usage));
  auto formatter = app.get_formatter();
  formatter->label("Usage", "Uso");
  formatter->label("OPTIONS", "OPCIONES");
  formatter->label("Positionals", "Argumentos");
  formatter->label("REQUIRED", "OBLIGATORIO");
  formatter->label("TEXT", "TEXTO");
  app.option_defaults()->group("Opciones");
  app.set_help_flag("-h,--help", "Muestra esta ayuda y termina");
  app.set_version_flag("--version", version, "Muestra la versión y termina");
}

// Parses the arguments; the exit code when the program is to end here (help,
// version, or arguments refused with exit 2).
inline std::optional<int> ParseArguments(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "Argumentos no válidos: " << e.what() << "\nUse --help para ver el uso.\n";
    return kExitRefused;
  }
  return std::nullopt;
}

// Makes Ctrl+C set the flag it returns, which a run or search checks to stop
// as "Detener" does in the window; a second Ctrl+C ends the program the usual
// way.
const std::atomic<bool>& StopOnInterrupt();

// A line of progress on a terminal (stderr), redrawn in place at most four
// times a second; nothing when not enabled (stderr is not a terminal).
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, bool enabled) : m_err(err), m_enabled(enabled) {}
  ~ProgressLine() { Erase(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Whether a line drawn now would show: enabled, and not drawn in the last
  // quarter of a second.
  bool Due() const;
  // Draws `text` over the line, when due.
  void Draw(const std::string& text);
  // Draws "label: 45%" for a share `done` (0 to 1) of the work, when due.
  void DrawShare(const std::string& label, double done);
  void Erase();

 private:
  std::ostream& m_err;
  bool m_enabled;
  bool m_drawn = false;
  std::chrono::steady_clock::time_point m_last;
};

// A search stopped by `stop`, its progress drawn on `line` as "label: 45%";
// `line` must outlive the search.
SearchControl ControlOf(const std::atomic<bool>& stop, ProgressLine& line, std::string label);

// "12.345" (and "-12.345"): digits in groups of three, as Spanish writes them.
std::string Thousands(std::int64_t n);

// Why a table read with --table-format `format` and --table-encoding
// `encoding` is refused (a format other than classic or extended, an
// encoding given for a classic table, which is read byte by byte, or one
// iconv does not know), or nothing.
std::optional<std::string> TableOptionsRefusal(const std::string& format,
                                               const std::optional<std::string>& encoding);

}  // namespace romscriber
