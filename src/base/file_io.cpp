#include "base/file_io.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>
#include <vector>

#include "base/app_error.h"

namespace romscriber {

void ThrowErrno(bool isFolder) {
  const int err = errno;
  ThrowSystemError(std::error_code(err ? err : EIO, std::generic_category()), isFolder);
}

FileHandle OpenForReading(const std::filesystem::path& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec) {
    // A missing file in a missing folder: the path is what is not found.
    std::error_code parentEc;
    const bool folderMissing = ec == std::errc::no_such_file_or_directory &&
                               path.has_parent_path() &&
                               !std::filesystem::exists(path.parent_path(), parentEc);
    ThrowSystemError(ec, folderMissing);
  }
  if (std::filesystem::is_directory(status)) throw AppError(kErrPathFileAccess);
  errno = 0;
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) ThrowErrno();
  return file;
}

std::int64_t FileLength(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) ThrowErrno();
  const long length = std::ftell(file);
  if (length < 0) ThrowErrno();
  if (std::fseek(file, 0, SEEK_SET) != 0) ThrowErrno();
  return length;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  FileHandle file = OpenForReading(path);
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, got);
    if (got < sizeof buffer) {
      if (std::ferror(file.get())) ThrowErrno();
      break;
    }
  }
  return bytes;
}

namespace {

// Writes the parts as the file `name` (relative to the folder `folder`, or
// to the working folder or absolute with AT_FDCWD) under a temporary name,
// then renames it into place.
void WriteWholeAt(int folder, const std::string& name,
                  std::initializer_list<std::string_view> parts) {
  // Straight system calls: one open, one gathered write (two when the system
  // takes less at once), one close and the rename. Through stdio a script
  // cost a buffer, a stat and a write per part, which weighs when a dump
  // writes thousands of files.
  const std::string temporary = name + ".tmp";
  errno = 0;
  const int fd =
      ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) ThrowErrno(true);
  const auto fail = [&](bool open) {
    const int err = errno;
    if (open) ::close(fd);
    ::unlinkat(folder, temporary.c_str(), 0);
    errno = err;
    ThrowErrno();
  };
  std::vector<iovec> pieces;
  pieces.reserve(parts.size());
  for (std::string_view part : parts) {
    if (!part.empty()) pieces.push_back({const_cast<char*>(part.data()), part.size()});
  }
  std::size_t next = 0;
  while (next < pieces.size()) {
    const int count = static_cast<int>(std::min<std::size_t>(pieces.size() - next, IOV_MAX));
    const ssize_t wrote = ::writev(fd, pieces.data() + next, count);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      fail(true);
    }
    // Skip what was written; a piece written in part keeps its rest.
    auto left = static_cast<std::size_t>(wrote);
    while (next < pieces.size() && left >= pieces[next].iov_len) {
      left -= pieces[next].iov_len;
      ++next;
    }
    if (left > 0) {
      pieces[next].iov_base = static_cast<char*>(pieces[next].iov_base) + left;
      pieces[next].iov_len -= left;
    }
  }
  if (::close(fd) != 0) fail(false);
  if (::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0) fail(false);
}

}  // namespace

void WriteFileWhole(const std::filesystem::path& path,
                    std::initializer_list<std::string_view> parts) {
  WriteWholeAt(AT_FDCWD, path.native(), parts);
}

FolderWriter::FolderWriter(std::filesystem::path folder) : m_folder(std::move(folder)) {}

FolderWriter::~FolderWriter() {
  if (m_fd >= 0) ::close(m_fd);
}

void FolderWriter::WriteFileWhole(std::string_view name,
                                  std::initializer_list<std::string_view> parts) {
  // The folder is opened at the first write (O_PATH needs no permission to
  // read it). Should that fail, files are written by their whole paths, which
  // gives the failure, if any, that writing the file itself gives.
  if (m_fd == -1) {
    m_fd = ::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) m_fd = -2;
  }
  if (m_fd < 0) {
    romscriber::WriteFileWhole(m_folder / name, parts);
    return;
  }
  WriteWholeAt(m_fd, std::string(name), parts);
}

void RethrowNamingFile(const AppError& e, const std::filesystem::path& path,
                       const std::string& what) {
  if (e.Number() >= kErrBadInput) throw e;
  throw AppError(e.Number(), e.Description() + ": " + path.string() + " (" + what + ")");
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
}

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path, const std::string& what) {
  try {
    const std::string bytes = ReadWholeFile(path);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  } catch (const AppError& e) {
    RethrowNamingFile(e, path, what);
  }
}

}  // namespace romscriber
