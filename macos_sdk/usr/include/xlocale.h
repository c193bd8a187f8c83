// Stands for <xlocale.h>: the functions taking a locale, declared with <locale.h> here.
#pragma once

#include <locale.h>
