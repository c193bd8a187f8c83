// glibc's heap: one arena, trimmed after quiet moments.
#include "platform/linux/heap_release.h"

#include <malloc.h>

namespace quillmoss::host {

void configureHeap() {
  mallopt(M_ARENA_MAX, 1);
  // Blocks up to the largest threshold glibc allows come from the heap and stay there when
  // freed, until the quiet moment's trim: the next call's file, parse and reply then cost no
  // page faults (which cost more than the parse on a heavy day).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
}

void releaseFreeHeap() {
  const struct mallinfo2 heap = mallinfo2();
  if (heap.fordblks > HeapRelease::kSlackBytes) malloc_trim(0);
}

void HeapRelease::afterReply() {
  lastReply_ = now_();
  if (timer_ == 0) wait(kQuietSeconds);
}

void HeapRelease::wait(double seconds) {
  timer_ = loop_.scheduleOnce(seconds, [this] {
    timer_ = 0;
    const double quiet = now_() - lastReply_;
    if (quiet < kQuietSeconds) {
      wait(kQuietSeconds - quiet);
    } else {
      background_.async(release_);
    }
  });
}

}  // namespace quillmoss::host
