// Stands for <nl_types.h> of the macOS C library: message catalogs, for libc++'s messages facet.
#pragma once

#include <sys/cdefs.h>

typedef void* nl_catd;
typedef int nl_item;
#define NL_CAT_LOCALE 1

__BEGIN_DECLS
nl_catd catopen(const char* name, int flags);
char* catgets(nl_catd catalog, int set, int message, const char* fallback);
int catclose(nl_catd catalog);
__END_DECLS
