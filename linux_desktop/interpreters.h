// Programs that run other programs (Python, Java, Node, Perl, Ruby, Wine, shells and the like),
// and which script or program a command line hands one of them: the part that names the
// application, in a desktop entry's Exec line as in a running process.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmoss::desktop {

// True for an interpreter's file name, with or without a version ("python3.11", "ruby3.1",
// "wine64-preloader", "mono-sgen").
bool isInterpreter(std::string_view program);

// The file name of what an interpreter's command line (argv, argv[0] the interpreter) runs:
// Java's -jar file or main class, Python's -m module, else the first argument that is not an
// option nor an option's value. Wine may show the Windows program as argv[0]. nullopt when
// argv[0] is no interpreter or it runs no file (-c, -e, nothing at all).
std::optional<std::string> scriptOf(const std::vector<std::string>& argv);
// The index in argv of the word scriptOf() names; nullopt when it names none.
std::optional<std::size_t> scriptAt(const std::vector<std::string>& argv);

// The script's name without the ending its language gives it ("gpsprune.jar" gives
// "gpsprune"); the name itself when it has none of those.
std::string_view withoutScriptEnding(std::string_view script);

}  // namespace quillmoss::desktop
