// ThreadSanitizer builds only: libjack's ring buffer, as the MIDI library's
// JACK output and the simulator's use it, with its copies hidden from the
// sanitizer.
//
// The buffer hands each message from the sending thread to JACK's process
// thread through memory barriers inside libjack, which is not instrumented,
// so the sanitizer sees only the two copies of the same bytes and reports a
// race. Matching that report against a suppression means symbolising its
// stack, on the process thread of the first message, for long enough that a
// synchronous JACK server runs no client meanwhile and the request's
// one-second time-out runs out. Copies the sanitizer never sees make no
// report.
#include <cstddef>

#include "device/midi/system/libjack.hpp"

struct jack_ringbuffer_t;

extern "C" {
void __tsan_ignore_thread_begin();
void __tsan_ignore_thread_end();
}

namespace {

using Copy = size_t (*)(jack_ringbuffer_t*, char*, size_t);

Copy libjack_copy(const char* name) { return reinterpret_cast<Copy>(quave::libjack_symbol(name)); }

size_t unseen(Copy copy, jack_ringbuffer_t* ring, char* bytes, size_t count) {
  if (!copy) return 0;
  __tsan_ignore_thread_begin();
  const size_t copied = copy(ring, bytes, count);
  __tsan_ignore_thread_end();
  return copied;
}

}  // namespace

extern "C" size_t jack_ringbuffer_write(jack_ringbuffer_t* ring, const char* from, size_t count) {
  static const Copy write = libjack_copy("jack_ringbuffer_write");
  return unseen(write, ring, const_cast<char*>(from), count);
}

extern "C" size_t jack_ringbuffer_read(jack_ringbuffer_t* ring, char* to, size_t count) {
  static const Copy read = libjack_copy("jack_ringbuffer_read");
  return unseen(read, ring, to, count);
}

extern "C" size_t jack_ringbuffer_peek(jack_ringbuffer_t* ring, char* to, size_t count) {
  static const Copy peek = libjack_copy("jack_ringbuffer_peek");
  return unseen(peek, ring, to, count);
}
