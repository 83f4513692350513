#include <windows.h>
#include <sddl.h>

#include <string>

#include "device/midi/system/synth_lock.hpp"

namespace quave {

namespace {

std::string temp_folder() {
  char folder[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > MAX_PATH) return std::string();
  return std::string(folder, n);
}

// Every user's command may wait for the mutex and take it; only the system
// and administrators may change its rights.
class EveryonesMutex {
 public:
  EveryonesMutex() {
    ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)", SDDL_REVISION_1, &descriptor_, nullptr);
  }
  ~EveryonesMutex() { LocalFree(descriptor_); }
  HANDLE open(const std::string& name) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor_, FALSE};
    return CreateMutexExA(descriptor_ ? &attributes : nullptr, name.c_str(), 0,
                          SYNCHRONIZE | MUTEX_MODIFY_STATE);
  }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// The holder's name from its file, never through a link, from a file with
// one name only, and at most a name's length.
std::string read_note(const std::string& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string holder;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
      !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
      GetFileType(file) == FILE_TYPE_DISK) {
    char text[kHolderNameMax + 1];
    DWORD n = 0;
    if (ReadFile(file, text, sizeof text, &n, nullptr) && n > 0) {
      holder = printable_holder(std::string(text, n));
    }
  }
  CloseHandle(file);
  return holder;
}

}  // namespace

LockTaking SynthLock::try_take(const std::string& key, const std::string& who) {
  return try_take_in(temp_folder(), key, who);
}

LockTaking SynthLock::try_take_in(const std::string& folder, const std::string& key,
                                  const std::string& who,
                                  const std::function<void()>& before_locking) {
  LockTaking taking;
  taking.lock.reset(new SynthLock);
  const std::string name = lock_name(key);
  // Every session's commands see it: a synthesizer is the machine's.
  EveryonesMutex rights;
  HANDLE mutex = rights.open("Global\\" + name);
  if (!mutex) mutex = rights.open("Local\\" + name);
  if (!mutex) return taking;
  std::string path;
  if (!folder.empty()) {
    path = folder;
    if (path.back() != '\\' && path.back() != '/') path += '\\';
    path += name + ".txt";
  }
  if (before_locking) before_locking();
  // A holder that died leaves the mutex abandoned, and it is ours then.
  const DWORD got = WaitForSingleObject(mutex, 0);
  if (got == WAIT_TIMEOUT) {
    CloseHandle(mutex);
    if (!path.empty()) taking.holder = read_note(path);
    taking.lock.reset();
    return taking;
  }
  if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return taking;
  }
  taking.lock->handle_ = reinterpret_cast<long long>(mutex);
  if (path.empty()) return taking;
  // A new file or none: whatever is there already is left as it is. The
  // system removes it when its handle closes, a killed holder's too.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    const std::string note = who + " (process " + std::to_string(GetCurrentProcessId()) + ")";
    DWORD n = 0;
    WriteFile(file, note.data(), static_cast<DWORD>(note.size()), &n, nullptr);
    taking.lock->note_handle_ = reinterpret_cast<long long>(file);
  }
  return taking;
}

SynthLock::~SynthLock() {
  if (handle_ == -1) return;
  // The name goes first: a waiter that takes the mutex next finds none.
  if (note_handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(note_handle_));
  HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace quave
