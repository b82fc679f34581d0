// A project session: a project opened once, the one model that
// romscriber-dump --project, romscriber-insert and the studio share.
//
//   ProjectImage     what opening reads once and never changes: the project
//                    file's settings, the ROM, the address map, each table
//                    compiled with the widths of its keys
//   SessionBlock     a block's strings as string records (offset, bytes,
//                    pointers with their values, closing end token, original
//                    and translation), its pointer table, its dump's warnings
//   Session::Open    reads the project, the ROM and the tables, dumps every
//                    block, checks the free regions
//   ReadScripts      the translations of a folder's scripts, checked against
//                    the strings and merged into them
//   ScriptFiles      every block's script in a format, ready to be written
//   PlanDump / WriteDumpPlan  a project dump's files (refusing to replace
//                    translations, or carrying them over), then written
//   CarryOver        an old script's translations onto the strings at the
//                    same offsets (a re-dump with --update)
//   Measurer         a text's bytes as inserted, its lines' widths, where it
//                    cannot be encoded; the block's bytes as they stand
//   Insert           the new ROM and each block's report, or every refusal;
//                    line limits checked
//
// A copy of a session shares its image and copies only the strings, so that
// a front end can hand one to another thread while it goes on editing its
// own. A session is not for two threads at once.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "address/address_map.h"
#include "address/pointers.h"
#include "base/app_error.h"
#include "insert/encoder.h"
#include "insert/insertion.h"
#include "project/project.h"
#include "project/strings.h"
#include "scripts/format.h"
#include "table/compiled.h"

namespace romscriber {

// A table of the project, compiled, with the width of each of its keys.
struct OpenedTable {
  const ProjectTable* Settings = nullptr;
  CompiledTable Table;
  std::vector<int> Widths;  // by entry: its width from the widths file, or -1
};

// What a session reads once and never changes.
struct ProjectImage {
  Project Settings;
  std::vector<std::uint8_t> Rom;
  AddressMap Map;
  std::vector<OpenedTable> Tables;  // in the project's order
};

struct SessionBlock {
  const ProjectBlock* Settings = nullptr;
  const OpenedTable* Table = nullptr;
  std::vector<StringRecord> Strings;  // by file offset; a string's id is its index
  std::vector<Pointer> PointerTable;  // as read; empty for a range block
  std::vector<std::string> Warnings;  // of its dump, Spanish, one sentence each
  std::string ScriptFile;             // the script its translations came from, if any
};

// What a text takes as inserted.
struct Measurement {
  std::int64_t Bytes = 0;  // with the end token an insertion appends
  std::optional<EncodeFailure> Failure;
  std::vector<int> LineWidths;  // each line's width (none when it cannot be encoded)
  bool Unchanged = false;       // the string inserts its original bytes
};

// What a session's insertion gives besides the new ROM.
struct SessionInsertion {
  InsertOutcome Outcome;  // the ROM and reports, or the refusals
  // Warnings of line limits (block, id, line and width), in block order;
  // refusals with `strict`.
  std::vector<std::string> LineWarnings;
};

// The files of a project dump, made before any is written.
struct DumpPlan {
  // Translations kept aside (<block>.lost.tsv, with what earlier updates
  // kept there), then every block's script files: written in this order, so
  // that a translation is on disk before the script that drops it.
  std::vector<std::pair<std::filesystem::path, std::string>> Files;
  std::vector<std::vector<std::string>> Warnings;  // by block: its dump's, then its carrying over's
  std::vector<std::int64_t> Kept;                  // by block: translations carried over
};

// Makes `folder` when missing and writes the plan's files, each whole, in
// their order.
void WriteDumpPlan(const std::filesystem::path& folder, const DumpPlan& plan);

// What carrying an old script over did to one block.
struct CarriedOver {
  std::int64_t Kept = 0;                // translations carried onto a string
  std::vector<int> Changed;             // ids of strings whose original changed since
  std::vector<StringRecord> Lost;       // old strings at offsets with no string now
  std::vector<std::string> Warnings;    // Spanish, one sentence each
};

class Session {
 public:
  // Receives "bloque 2/5: menus" as blocks are dumped.
  using Progress = std::function<void(const std::string&)>;

  // Reads the project file, its ROM, its tables and their widths files,
  // dumps every block and checks the free regions. Table warnings go to
  // `warn`. AppErrors as the loaders give them (the project file's line and
  // column, a table's or widths file's line), kErrCancelled when `stop` is
  // set between blocks.
  static Session Open(const std::filesystem::path& projectFile, const Warn& warn,
                      const Progress& progress = {}, const std::atomic<bool>* stop = nullptr);

  const Project& Settings() const { return m_image->Settings; }
  std::span<const std::uint8_t> Rom() const { return m_image->Rom; }
  const AddressMap& Map() const { return m_image->Map; }
  const std::shared_ptr<const ProjectImage>& Image() const { return m_image; }
  std::vector<SessionBlock>& Blocks() { return m_blocks; }
  const std::vector<SessionBlock>& Blocks() const { return m_blocks; }
  // The block of that name, or nullptr.
  const SessionBlock* FindBlock(std::string_view name) const;

  // Reads each block's script from `folder` (<block>.tsv, .po or .txt; two
  // are refused) and merges its translations into the strings. A block
  // without a script is refused when `everyBlock`, else left as it is.
  // AppError kErrBadInput, naming file and line, for a row that names no
  // string of its block, one whose offset, pointers or original are not the
  // string's, an id given twice; nothing is merged then.
  void ReadScripts(const std::filesystem::path& folder, bool everyBlock);
  // Merges one block's script as ReadScripts does: the strings take the
  // translations and marks it gives, and none where it gives none.
  void MergeScript(SessionBlock& block, const BlockScript& script);

  // Every block's script files in `format`, in block order.
  std::vector<ScriptFile> ScriptFiles(ScriptFormat format) const;
  std::vector<ScriptFile> ScriptFilesOf(const SessionBlock& block, ScriptFormat format) const;

  // Carries the translations of `old` (the block's previous script) onto the
  // strings at the same offsets. A translation whose string's original has
  // changed since is kept and marked: fuzzy when `markFuzzy` (PO), listed
  // in a warning otherwise. Translations of offsets without a string now are
  // lost to the block: given back, and reported each in a warning.
  CarriedOver CarryOver(SessionBlock& block, const BlockScript& old, bool markFuzzy);

  // The files that dumping the session's blocks into `folder` in `format`
  // writes. A script already there that holds translations is never
  // replaced, unless `update`: then its translations are carried over
  // (CarryOver), and those that no longer have a string are added to
  // <block>.lost.tsv. AppError kErrBadInput naming the file when a script
  // holds translations and not `update`, or when the folder holds a block's
  // script in another format (it would hold two); errors of reading the
  // old scripts as they are.
  DumpPlan PlanDump(const std::filesystem::path& folder, ScriptFormat format, bool update);

  // Inserts every block's strings (as InsertStrings does, through `cache`
  // when given), then checks line limits: a warning for each line wider than
  // the block's line_limit and each text with more lines than its
  // max_lines; with `strict` those are refusals, and no ROM is made.
  SessionInsertion Insert(EncodeCache* cache = nullptr, bool strict = false) const;

 private:
  static void CheckScript(const SessionBlock& block, const BlockScript& script);
  static void ApplyScript(SessionBlock& block, BlockScript&& script);

  std::shared_ptr<const ProjectImage> m_image;
  std::vector<SessionBlock> m_blocks;
};

// The width of each line of the text that `bytes` read as through a table:
// each ordinary entry counts its width from the widths file, else the
// table's default_width, else the characters of its text; line breaks, end
// tokens, control codes (and their parameters) and raw bytes count 0. The
// lines are the pieces between line breaks (an entry whose text holds a line
// break counts its width on the line where it starts). Decoding stops after
// an end token.
std::vector<int> LineWidths(const OpenedTable& table, std::span<const std::uint8_t> bytes);

// How a block's strings fit its space as they stand.
struct BlockFit {
  std::int64_t Used = 0;       // bytes the strings take, as an insertion reports them
  std::int64_t Available = 0;  // bytes of the block's space, likewise
  std::vector<bool> Fits;      // by string: it has room (a range string: in its own bytes)
};

// Measures texts of a session's strings as an insertion would insert them,
// keeping each encoding in its cache for the next measure and insertion.
// Holds an encoder per table: one measurer per thread, for one session (or
// copies of it with the same strings).
class Measurer {
 public:
  explicit Measurer(const Session& session) : m_session(&session) {}

  // The text of string `index` of block `block` with `translation` as its
  // translation (empty: none); taken as the string's text from now on in Fit.
  Measurement Measure(std::size_t block, std::size_t index, std::string_view translation);
  // How the block's strings fit as last measured (those not measured yet
  // are measured with their translations as the session has them): a
  // string inside an unchanged one that also stands unchanged counts once,
  // and a text that cannot be encoded counts its original's bytes.
  BlockFit Fit(std::size_t block);
  // The widths of the lines of `text` as a string of the block would insert
  // it, without taking it as any string's text; each line's characters when
  // it cannot be encoded.
  std::vector<int> Widths(std::size_t block, std::string_view text);

  EncodeCache& Cache() { return m_cache; }

 private:
  Measurement MeasureText(std::size_t block, std::size_t index, std::string_view translation);

  struct Standing {
    std::int64_t Bytes = -1;  // -1: not measured yet
    bool Unchanged = true;
  };


  const Session* m_session;
  EncodeCache m_cache;
  Encoders m_encoders;
  std::vector<std::vector<Standing>> m_standing;          // by block and string
  std::vector<std::optional<std::vector<Piece>>> m_space;  // by block, once made
};

}  // namespace romscriber
