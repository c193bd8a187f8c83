// Writes one file atomically, for tracing the system calls the write makes.
//     atomic_write_probe FILE
#include <cstdio>

#include "daily_data/daily_data.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: atomic_write_probe FILE\n", stderr);
    return 2;
  }
  return quillmoss::daily::writeFileAtomically(argv[1], "{\"a\":1.0}") ? 0 : 1;
}
