// Entry point of quillmoss-report.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "report_command.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string out;
  std::string err;
  const int status = quillmoss::report::runReportCommand(
      arguments, static_cast<double>(std::time(nullptr)), out, err);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fwrite(err.data(), 1, err.size(), stderr);
  return status;
}
