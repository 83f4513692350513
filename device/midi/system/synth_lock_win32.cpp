#include <windows.h>

#include <string>

#include "device/midi/system/synth_lock.hpp"

namespace quave {

namespace {

// Beside the mutex, which cannot carry text: who holds it.
std::string note_path(const std::string& name) {
  char folder[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof folder, folder);
  if (n == 0 || n > MAX_PATH) return std::string();
  return std::string(folder) + name + ".txt";
}

}  // namespace

std::unique_ptr<SynthLock> SynthLock::try_take(const std::string& key, const std::string& who,
                                               std::string& holder) {
  std::unique_ptr<SynthLock> lock(new SynthLock);
  const std::string name = lock_name(key);
  // Every session's commands see it: a synthesizer is the machine's.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str());
  if (!mutex) mutex = CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str());
  if (!mutex) return lock;
  const std::string path = note_path(name);
  // A holder that died leaves the mutex abandoned, and it is ours then.
  const DWORD got = WaitForSingleObject(mutex, 0);
  if (got == WAIT_TIMEOUT) {
    CloseHandle(mutex);
    holder.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char text[256];
      DWORD n = 0;
      if (ReadFile(file, text, sizeof text, &n, nullptr) && n > 0) holder.assign(text, n);
      CloseHandle(file);
    }
    return nullptr;
  }
  if (got != WAIT_OBJECT_0 && got != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return lock;
  }
  const std::string note = who + " (process " + std::to_string(GetCurrentProcessId()) + ")";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD n = 0;
    lock->wrote_note_ = WriteFile(file, note.data(), static_cast<DWORD>(note.size()), &n, nullptr) && n > 0;
    CloseHandle(file);
    lock->note_path_ = path;
  }
  lock->handle_ = reinterpret_cast<long long>(mutex);
  return lock;
}

SynthLock::~SynthLock() {
  if (handle_ == -1) return;
  HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  if (wrote_note_) DeleteFileA(note_path_.c_str());
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

}  // namespace quave
