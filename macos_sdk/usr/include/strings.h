// Stands for <strings.h>: declared with <string.h> here.
#pragma once

#include <string.h>
