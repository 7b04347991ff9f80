// The operating system layer on Windows (mingw-w64 and its C runtime).
// Paths are UTF-8 inside the tool and UTF-16 at every call of the system,
// so that any file name works whatever the console's code page.
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdlib>

#include "os.hpp"

namespace os {

namespace {

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

std::string utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.pop_back();  // the terminator
  return out;
}

int errno_of(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
    case ERROR_NOT_SUPPORTED:
      return EINVAL;
    default:
      return EIO;
  }
}

// Splits a path into its folder, with its last separator or drive colon
// ("" for the current one), and its entry.
void split_path(const std::string& path, std::string& folder, std::string& entry) {
  const std::size_t separator = path.find_last_of("/\\:");
  const std::size_t entry_start = separator == std::string::npos ? 0 : separator + 1;
  folder = path.substr(0, entry_start);
  entry = path.substr(entry_start);
}

std::wstring path_of(const location& where, const std::string& entry) {
  return wide(where.directory_path + entry);
}

file_identity identity_from(const BY_HANDLE_FILE_INFORMATION& information) {
  return {information.dwVolumeSerialNumber,
          (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

bool mark_for_deletion(HANDLE handle, bool delete_when_closed) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = delete_when_closed ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// A scanner or an indexer may hold a file for a moment: a rename is retried
// for about a second, as git for Windows does.
int move_file(const location& where, const std::string& temporary, DWORD flags) {
  const std::wstring from = path_of(where, temporary), to = path_of(where, where.entry);
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), flags | MOVEFILE_WRITE_THROUGH)) return 0;
    const DWORD error = GetLastError();
    const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    if (!held || attempt >= 10) return errno_of(error);
    Sleep(100);
  }
}

}  // namespace

int open_result(const char* name, result_target& target) {
  target = {};
  if (*name == '\0') return ENOENT;
  split_path(name, target.where.directory_path, target.where.entry);
  if (target.where.entry.empty()) return EISDIR;
  const std::wstring path = wide(name);
  // Opened for writing first, so that a read-only file, or one another
  // program holds, is refused before the work, as fopen(name, "w") would.
  // The read-only flag is also checked by itself: an administrator's open
  // under wine ignores it.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EISDIR;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return EACCES;
  }
  const HANDLE handle =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? 0 : errno_of(error);  // a new file, or no folder
  }
  target.existed = true;
  const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
  // Kept open until the commit: while the run holds it, the file's index
  // cannot pass to a file another program makes under the name.
  target.fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | (disk ? _O_BINARY : _O_TEXT));
  if (target.fd < 0) {
    CloseHandle(handle);
    return EMFILE;
  }
  if (!disk) return 0;  // a device (NUL, CON) or a pipe is written as it is
  // Windows keeps no owner or mode bits that a new file would lose; other
  // names (hard links) would lose the result.
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(handle, &information)) {
    const DWORD error = GetLastError();
    close_file(target.fd);
    target = {};
    return errno_of(error);
  }
  target.identity = identity_from(information);
  target.regular = true;
  target.replaceable = information.nNumberOfLinks == 1;
  return 0;
}

int create_exclusive(const location& where, const std::string& name, bool, int& fd) {
  // Deleted by the system when its last handle closes, until commit: a
  // Ctrl-C, a crash or TerminateProcess leaves nothing behind.
  const HANDLE handle =
      CreateFileW(path_of(where, name).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return errno_of(GetLastError());
  mark_for_deletion(handle, true);
  fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
  if (fd < 0) {
    CloseHandle(handle);
    return EMFILE;
  }
  return 0;
}

std::size_t longest_entry(const location&) { return 255; }

bool take_over_group(int, const result_target&) { return true; }

int create_spool(const location&, int& fd) {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return ENOENT;
  DWORD error = ERROR_FILE_EXISTS;
  for (unsigned attempt = 0; attempt < 100 && error == ERROR_FILE_EXISTS; ++attempt) {
    const std::wstring path = std::wstring(folder) + L"snp_weight_spool_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(GetTickCount64() + attempt) + L".tmp";
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      continue;
    }
    fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_TEXT);
    if (fd >= 0) return 0;
    CloseHandle(handle);
    return EMFILE;
  }
  return errno_of(error);
}

int copy_into(int spool, int target) {
  const HANDLE from = reinterpret_cast<HANDLE>(_get_osfhandle(spool));
  const HANDLE to = reinterpret_cast<HANDLE>(_get_osfhandle(target));
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(from, &size)) return errno_of(GetLastError());
  // The room first, without moving the end of the file: a full disk or a
  // quota is found before a byte changes.
  FILE_ALLOCATION_INFO allocation{};
  allocation.AllocationSize = size;
  if (!SetFileInformationByHandle(to, FileAllocationInfo, &allocation, sizeof allocation)) {
    const DWORD error = GetLastError();
    // Nothing to reserve with (wine): the copy goes on without.
    if (error != ERROR_CALL_NOT_IMPLEMENTED && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION &&
        error != ERROR_INVALID_PARAMETER)
      return errno_of(error);
  }
  static char buffer[1 << 16];
  for (std::uint64_t at = 0; at < static_cast<std::uint64_t>(size.QuadPart);) {
    OVERLAPPED place{};
    place.Offset = static_cast<DWORD>(at);
    place.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD got = 0, put = 0;
    if (!ReadFile(from, buffer, sizeof buffer, &got, &place) || got == 0) return errno_of(GetLastError());
    if (!WriteFile(to, buffer, got, &put, &place) || put != got) return errno_of(GetLastError());
    at += got;
  }
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile = size;
  if (!SetFileInformationByHandle(to, FileEndOfFileInfo, &end, sizeof end)) return errno_of(GetLastError());
  return FlushFileBuffers(to) ? 0 : errno_of(GetLastError());
}

int sync(int fd) { return _commit(fd) == 0 ? 0 : (errno != 0 ? errno : EIO); }

int set_mode(int, unsigned) { return 0; }

int keep_when_closed(int fd) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  return mark_for_deletion(handle, false) ? 0 : errno_of(GetLastError());
}

std::FILE* stream_on(int fd) { return _fdopen(fd, "w"); }

void close_file(int fd) {
  if (fd >= 0) _close(fd);
}

int duplicate_for_bytes(int fd) {
  const int copy = _dup(fd);
  if (copy >= 0) _setmode(copy, _O_BINARY);
  return copy;
}

int identity_of(int fd, file_identity& identity, bool* regular) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  const bool disk = GetFileType(handle) == FILE_TYPE_DISK;
  if (regular != nullptr) *regular = disk;
  BY_HANDLE_FILE_INFORMATION information{};
  if (!disk || !GetFileInformationByHandle(handle, &information)) {
    identity = {};
    return disk ? errno_of(GetLastError()) : 0;
  }
  identity = identity_from(information);
  return 0;
}

int identity_at(const location& where, const std::string& entry, file_identity& identity) {
  const HANDLE handle =
      CreateFileW(path_of(where, entry).c_str(), FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return errno_of(GetLastError());
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (!known) return errno_of(error);
  identity = identity_from(information);
  return 0;
}

// Windows cannot swap two names in one step.
int exchange(const location&, const std::string&) { return EINVAL; }

int rename_new(const location& where, const std::string& temporary) { return move_file(where, temporary, 0); }

int rename_over(const location& where, const std::string& temporary) {
  return move_file(where, temporary, MOVEFILE_REPLACE_EXISTING);
}

void remove_entry(const location& where, const std::string& entry, const file_identity& identity) {
  // Opened, checked and marked for deletion through one handle: no other
  // file under the name can be removed in between.
  const HANDLE handle =
      CreateFileW(path_of(where, entry).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileInformationByHandle(handle, &information) && identity_from(information) == identity)
    mark_for_deletion(handle, true);
  CloseHandle(handle);
}

void sync_directory(const location&) {}

void close_location(location&) {}

int open_input(const std::string& path, int& fd) {
  const std::wstring name = wide(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EISDIR;
  fd = _wopen(name.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  return fd < 0 ? (errno != 0 ? errno : EIO) : 0;
}

int standard_input() {
  _setmode(0, _O_BINARY);
  return 0;
}

namespace {

// The console handler runs on a thread of its own while the main thread
// goes on. It never touches a stream: it waits until the main thread is out
// of any step that must happen whole, then ends the process. The temporary
// file, still marked for deletion, goes with the process's handles.
SRWLOCK whole_steps = SRWLOCK_INIT;
int holds = 0;  // the main thread's count of nested holds

BOOL WINAPI on_console_event(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  AcquireSRWLockExclusive(&whole_steps);
  // The status of a C runtime's abort on SIGINT, as before.
  TerminateProcess(GetCurrentProcess(), 3);
  return TRUE;
}

}  // namespace

void hold_ending_signals() {
  if (holds++ == 0) AcquireSRWLockExclusive(&whole_steps);
}

void release_ending_signals() {
  if (--holds == 0) ReleaseSRWLockExclusive(&whole_steps);
}

void on_ending_signals(void (*)()) { SetConsoleCtrlHandler(on_console_event, TRUE); }

void remove_now(int, const char*, const file_identity&) {}

std::vector<std::string> arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide_arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide_arguments == nullptr) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(utf8(wide_arguments[i]));
  LocalFree(wide_arguments);
  return out;
}

// The process heap offers no such setting.
void keep_freed_memory() {}

// Large pages need a privilege that users lack: plain committed pages.
void* allocate_large(std::size_t bytes) {
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void release_large(void* memory, std::size_t) { VirtualFree(memory, 0, MEM_RELEASE); }

}  // namespace os
