// Stands for <assert.h> of the macOS C library.
#include <sys/cdefs.h>

#undef assert
#ifdef NDEBUG
#define assert(e) ((void)0)
#else
__BEGIN_DECLS
void __assert_rtn(const char* function, const char* file, int line, const char* expression)
    __attribute__((noreturn));
__END_DECLS
#define assert(e) \
  (__builtin_expect(!(e), 0) ? __assert_rtn(__func__, __FILE__, __LINE__, #e) : (void)0)
#endif
