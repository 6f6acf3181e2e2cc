// The files of os_file.hpp on Windows: handles opened through the wide API
// with every sharing mode (so that the readers, the writers and the case
// lock of one run can open a file side by side, and a file open for reading
// can be renamed), positioned reads and writes through OVERLAPPED offsets,
// LockFileEx, files aside under a name of their own put in place by
// MoveFileExW.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <random>

#include "io/os_file.hpp"
#include "io/status.hpp"

namespace qx::os {

namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One call moves at most a GiB, as on Linux.
constexpr std::size_t max_call_bytes = std::size_t{1} << 30;
// The case lock is taken on one byte far beyond the end of any file: a lock
// on Windows keeps every other open from reading or writing the bytes it
// covers, and bytes that are never there keep out only other locks.
constexpr std::uint64_t lock_offset = ~std::uint64_t{0} - 1;

HANDLE handle_of(File f) { return reinterpret_cast<HANDLE>(f); }
File file_of(HANDLE h) { return reinterpret_cast<File>(h); }

// The name in UTF-16: as UTF-8, else in the ANSI code page; `code_page`
// receives the one taken, for the way back.
std::wstring widen(const std::string& s, UINT* code_page = nullptr) {
  if (code_page) *code_page = CP_UTF8;
  if (s.empty()) return {};
  for (const UINT cp : {UINT{CP_UTF8}, UINT{CP_ACP}}) {
    const DWORD flags = cp == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int n = MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) continue;
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(cp, flags, s.data(), static_cast<int>(s.size()), w.data(), n);
    if (code_page) *code_page = cp;
    return w;
  }
  return {};
}

std::string narrow(const std::wstring& w, UINT code_page) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(code_page, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(std::max(n, 0)), '\0');
  WideCharToMultiByte(code_page, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(offset);
  ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return ov;
}

DWORD call_bytes(std::size_t n) { return static_cast<DWORD>(std::min(n, max_call_bytes)); }

bool is_directory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The status of a failed open. Windows refuses to open a directory as a
// file with "access denied"; POSIX systems open it, and it is refused as
// not a file (30), as here, with no error of the system (last_error).
int open_status(DWORD error, const std::wstring& path) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return iostat::not_found;
    case ERROR_ACCESS_DENIED:
      if (!is_directory(path)) {
        SetLastError(error);
        return iostat::permission_denied;
      }
      SetLastError(0);
      return iostat::open_failed;
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_PRIVILEGE_NOT_HELD: return iostat::permission_denied;
    default: return iostat::open_failed;
  }
}

HANDLE open_handle(const std::wstring& path, DWORD access, DWORD disposition, DWORD flags) {
  return CreateFileW(path.c_str(), access, share_all, nullptr, disposition, flags, nullptr);
}

// A symbolic link or a junction: a name that leads to another file.
bool is_link(HANDLE h) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  return GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) &&
         (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

// Characters of unique names; the process and a counter make a name that no
// other run of this program takes, the random part one of nothing else.
std::string unique_part() {
  static std::atomic<unsigned> counter{0};
  static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::minstd_rand random(std::random_device{}());
  std::string part = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + "-";
  for (int i = 0; i < 6; ++i) part += letters[random() % (sizeof letters - 1)];
  return part;
}

}  // namespace

std::string error_text(int error) {
  // In English where the system has its texts, as the messages around them.
  wchar_t* text = nullptr;
  DWORD n = 0;
  for (const DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
    n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n > 0) break;
  }
  std::string s = n > 0 ? narrow(std::wstring(text, n), CP_UTF8) : "error " + std::to_string(error);
  if (text) LocalFree(text);
  // Without the full stop and line end that the system's texts carry.
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.' || s.back() == ' ')) s.pop_back();
  return s;
}

int last_error() { return static_cast<int>(GetLastError()); }
bool is_missing(int error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }
bool is_taken(int error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

int facts_of(File f, FileFacts& facts) {
  const HANDLE h = handle_of(f);
  facts = {};
  if (GetFileType(h) != FILE_TYPE_DISK) {
    facts.type = FileType::other;
    return 0;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return static_cast<int>(GetLastError());
  facts.type = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileType::directory : FileType::regular;
  facts.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  facts.links = info.nNumberOfLinks;
  return 0;
}

int facts_of(const std::string& path, bool follow_links, FileFacts& facts) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE h = open_handle(widen(path), FILE_READ_ATTRIBUTES, OPEN_EXISTING, flags);
  if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  const int error = facts_of(file_of(h), facts);
  if (error == 0 && !follow_links && is_link(h)) facts.type = FileType::link;
  CloseHandle(h);
  return error;
}

// Files have no owner and permission bits to keep here: a file put in place
// of another takes the access of the directory, as a new file does.
bool owned_by_me(const FileFacts&) { return true; }
int take_group_and_mode(File, const FileFacts&) { return 0; }

int open_for_reading(const std::string& path, File& f, FileFacts& facts) {
  const std::wstring name = widen(path);
  const HANDLE h = open_handle(name, GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE) return open_status(GetLastError(), name);
  if (const int error = facts_of(file_of(h), facts); error != 0 || facts.type != FileType::regular) {
    CloseHandle(h);
    SetLastError(static_cast<DWORD>(error));
    return iostat::open_failed;
  }
  f = file_of(h);
  return iostat::ok;
}

int open_for_writing(const std::string& path, File& f) {
  const std::wstring name = widen(path);
  const HANDLE h = open_handle(name, GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE) return open_status(GetLastError(), name);
  f = file_of(h);
  return iostat::ok;
}

int open_for_update(const std::string& path, File& f, FileFacts& facts) {
  const std::wstring name = widen(path);
  const HANDLE h = open_handle(name, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE) return open_status(GetLastError(), name);
  if (facts_of(file_of(h), facts) != 0 || facts.type == FileType::directory) {
    CloseHandle(h);
    return iostat::open_failed;
  }
  f = file_of(h);
  return iostat::ok;
}

int open_existing(const std::string& path, File& f) {
  const HANDLE h = open_handle(widen(path), GENERIC_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  f = file_of(h);
  return 0;
}

bool open_empty_in_place(const std::string& path, File& f) {
  const HANDLE h = open_handle(widen(path), GENERIC_WRITE | FILE_READ_ATTRIBUTES, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (h == INVALID_HANDLE_VALUE) return false;
  FileFacts facts;
  if (is_link(h) || facts_of(file_of(h), facts) != 0 || facts.type != FileType::regular || facts.size != 0) {
    CloseHandle(h);
    return false;
  }
  f = file_of(h);
  return true;
}

bool close_file(File f) { return CloseHandle(handle_of(f)) != 0; }

long long read_at(File f, std::uint64_t offset, void* dst, std::size_t n) {
  auto* p = static_cast<unsigned char*>(dst);
  std::size_t got = 0;
  while (got < n) {
    OVERLAPPED ov = at(offset + got);
    DWORD r = 0;
    if (!ReadFile(handle_of(f), p + got, call_bytes(n - got), &r, &ov)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (r == 0) break;
    got += r;
  }
  return static_cast<long long>(got);
}

long long read_next(File f, void* dst, std::size_t n) {
  DWORD r = 0;
  if (ReadFile(handle_of(f), dst, call_bytes(n), &r, nullptr)) return r;
  const DWORD error = GetLastError();
  return error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE ? 0 : -1;
}

bool rewind_file(File f) {
  LARGE_INTEGER zero{};
  return SetFilePointerEx(handle_of(f), zero, nullptr, FILE_BEGIN) != 0;
}

bool write_all(File f, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (n > 0) {
    DWORD w = 0;
    if (!WriteFile(handle_of(f), p, call_bytes(n), &w, nullptr) || w == 0) return false;
    p += w;
    n -= w;
  }
  return true;
}

bool write_all_at(File f, std::uint64_t offset, const void* data, std::size_t n) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < n) {
    OVERLAPPED ov = at(offset + done);
    DWORD w = 0;
    if (!WriteFile(handle_of(f), p + done, call_bytes(n - done), &w, &ov) || w == 0) return false;
    done += w;
  }
  return true;
}

// Windows has no gathering write for files opened this way: one call a part.
bool write_all(File f, std::span<WritePart> parts) {
  if (parts.size() > max_write_parts) return false;
  for (WritePart& part : parts) {
    if (!write_all(f, part.data, part.bytes)) return false;
    part.bytes = 0;
  }
  return true;
}

int set_size(File f, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return SetFileInformationByHandle(handle_of(f), FileEndOfFileInfo, &end, sizeof end) ? 0
                                                                                       : static_cast<int>(GetLastError());
}

LockOutcome lock_exclusive(File f, int& error) {
  error = 0;
  OVERLAPPED ov = at(lock_offset);
  if (LockFileEx(handle_of(f), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov))
    return LockOutcome::locked;
  error = static_cast<int>(GetLastError());
  return error == ERROR_LOCK_VIOLATION ? LockOutcome::busy : LockOutcome::failed;
}

void unlock(File f) {
  OVERLAPPED ov = at(lock_offset);
  UnlockFileEx(handle_of(f), 0, 1, 0, &ov);
}

// Windows has no nameless files: the file aside has its hidden name from
// the start, and a process killed meanwhile leaves it behind.
int create_aside(const std::string&, const std::string& hidden_name, File& f, bool& named) {
  named = true;
  const HANDLE h = open_handle(widen(hidden_name), GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  f = file_of(h);
  return 0;
}

// Removed by the system when its last open is closed, also when the process
// is killed.
int create_scratch(const std::string&, const std::string& hidden_name, File& f, bool& named) {
  named = true;
  const HANDLE h = open_handle(widen(hidden_name), GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                               FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
  if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  f = file_of(h);
  return 0;
}

int open_temporary(File& f) {
  wchar_t dir[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 2, dir);
  if (n == 0 || n > MAX_PATH + 1) return static_cast<int>(GetLastError());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = std::wstring(dir, n) + widen("qxscratch-" + unique_part());
    const HANDLE h = open_handle(name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
    if (h != INVALID_HANDLE_VALUE) {
      f = file_of(h);
      return 0;
    }
    if (!is_taken(static_cast<int>(GetLastError()))) break;
  }
  return static_cast<int>(GetLastError());
}

std::FILE* temporary_stream() {
  File f = no_file;
  if (open_temporary(f) != 0) return nullptr;
  const int fd = _open_osfhandle(f, _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle_of(f));
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, "w+b");
  if (!stream) _close(fd);
  return stream;
}

int create_unique_file(const std::string& prefix, std::string& name, File& f) {
  int error = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix + unique_part();
    const HANDLE h = open_handle(widen(name), GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
    if (h != INVALID_HANDLE_VALUE) {
      f = file_of(h);
      return 0;
    }
    error = static_cast<int>(GetLastError());
    if (!is_taken(error)) break;
  }
  return error;
}

std::string reopen_path(File, const std::string& name) { return name; }

int link_file(const std::string&, const std::string&) { return ERROR_NOT_SUPPORTED; }

int replace_file(const std::string& from, const std::string& to) {
  return MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING)
             ? 0
             : static_cast<int>(GetLastError());
}

int remove_file(const std::string& name) {
  return DeleteFileW(widen(name).c_str()) ? 0 : static_cast<int>(GetLastError());
}

bool free_bytes(const std::string& dir, std::uint64_t& bytes) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(widen(dir).c_str(), &available, nullptr, nullptr)) return false;
  bytes = available.QuadPart;
  return true;
}

const std::string_view path_separators = "/\\:";

// In the code page that the name came in, so that its other parts join it.
std::string directory_of(const std::string& name) {
  UINT code_page = CP_UTF8;
  const std::wstring wide = widen(name, &code_page);
  const std::string dir = narrow(std::filesystem::path(wide).parent_path().wstring(), code_page);
  return dir.empty() ? "." : dir;
}

}  // namespace qx::os
