// The Windows synthesizer lock, run under Wine by the wine tests: one holder
// at a time across processes, its name shown only when printable, whatever
// stands at the name's place left as it was, and nothing left once the
// holder ends, killed or not. A Windows program of its own: the Linux tests
// cannot reach the mutex. Prints each failure and "N passed, N failed".
#include <windows.h>

#include <cstdio>
#include <string>

#include "device/midi/system/synth_lock.hpp"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string read_all(const std::string& path) {
  std::string bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return bytes;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

void write_all(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// This program again, holding the lock until its standard input closes
// ("hold KEY FOLDER"), or until it is killed.
class Holder {
 public:
  Holder(const std::string& key, const std::string& folder) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out_read, out_write, in_read, in_write;
    CreatePipe(&out_read, &out_write, &inherit, 0);
    CreatePipe(&in_read, &in_write, &inherit, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string line = "\"" + std::string(self) + "\" hold \"" + key + "\" \"" + folder + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read;
    startup.hStdOutput = out_write;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(out_write);
    CloseHandle(in_read);
    release_ = in_write;
    if (!started_) return;
    process_ = info.hProcess;
    CloseHandle(info.hThread);
    pid_ = info.dwProcessId;
    char word = 0;
    DWORD n = 0;
    held_ = ReadFile(out_read, &word, 1, &n, nullptr) && n == 1 && word == '1';
    CloseHandle(out_read);
  }
  ~Holder() {
    kill();
  }
  bool held() const { return held_; }
  DWORD pid() const { return pid_; }
  void let_go() {
    CloseHandle(release_);
    release_ = nullptr;
    wait();
  }
  void kill() {
    if (process_) TerminateProcess(process_, 9);
    wait();
  }

 private:
  void wait() {
    if (release_) CloseHandle(release_);
    release_ = nullptr;
    if (!process_) return;
    WaitForSingleObject(process_, 30000);
    CloseHandle(process_);
    process_ = nullptr;
  }
  bool started_ = false;
  bool held_ = false;
  HANDLE process_ = nullptr;
  HANDLE release_ = nullptr;
  DWORD pid_ = 0;
};

int hold(const std::string& key, const std::string& folder) {
  quave::LockTaking taking = quave::SynthLock::try_take_in(folder, key, "quave-cli load");
  std::fputc(taking.lock ? '1' : '0', stdout);
  std::fflush(stdout);
  char c;
  DWORD n;
  ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &n, nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "hold") return hold(argv[2], argv[3]);

  char temp[MAX_PATH + 1];
  GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "quave-lock-check-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string key = "winmm vestrel SOUND " + std::to_string(GetCurrentProcessId());
  const std::string note = folder + "\\" + quave::lock_name(key) + ".txt";

  {
    Holder holder(key, folder);
    check(holder.held(), "a holder takes a free lock");
    quave::LockTaking waiting = quave::SynthLock::try_take_in(folder, key, "quave-cli probe");
    check(!waiting.lock, "a second process waits");
    check(waiting.holder == "quave-cli load (process " + std::to_string(holder.pid()) + ")",
          "the waiter reads the holder's name: " + waiting.holder);
    holder.let_go();
    check(!exists(note), "the holder's name goes with it");
    check(bool(quave::SynthLock::try_take_in(folder, key, "quave-cli probe").lock), "free once let go");
  }
  {
    Holder holder(key, folder);
    check(holder.held(), "taken again");
    holder.kill();
    check(!exists(note), "a killed holder's name goes with it");
    check(bool(quave::SynthLock::try_take_in(folder, key, "quave-cli probe").lock),
          "free once its holder is killed");
  }
  // Whatever was at the name's place first stays as it was, and only a
  // short printable name from it is ever shown.
  const struct {
    const char* what;
    std::string bytes;  // empty: a folder
  } planted[] = {
      {"escape sequences", "evil \x1b[2J\x1b]0;owned\x07 text"},
      {"a megabyte", std::string(1 << 20, 'm')},
      {"a folder", ""},
  };
  for (const auto& row : planted) {
    if (row.bytes.empty()) {
      CreateDirectoryA(note.c_str(), nullptr);
    } else {
      write_all(note, row.bytes);
    }
    {
      Holder holder(key, folder);
      check(holder.held(), std::string(row.what) + ": the lock is taken all the same");
      quave::LockTaking waiting = quave::SynthLock::try_take_in(folder, key, "quave-cli probe");
      check(!waiting.lock, std::string(row.what) + ": a second process waits");
      check(waiting.holder.empty(), std::string(row.what) + ": nothing of it shown: " + waiting.holder);
    }
    if (row.bytes.empty()) {
      const DWORD attributes = GetFileAttributesA(note.c_str());
      check(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY),
            "the folder stays");
      RemoveDirectoryA(note.c_str());
    } else {
      check(read_all(note) == row.bytes, std::string(row.what) + ": left as it was");
      DeleteFileA(note.c_str());
    }
  }
  check(RemoveDirectoryA(folder.c_str()) != 0, "nothing left in the folder");
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
