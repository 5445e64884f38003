// A second program for the log tests: log_writer FOLDER COUNT TAG appends COUNT records
// "TAG <n in letters> <padding>" to the log in FOLDER, so that several processes can log at once.
#include <cstdlib>
#include <string>

#include "LetterNumber.h"
#include "log/Log.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  kyv::TLog log(argv[1]);
  const int count = std::atoi(argv[2]);
  const std::string padding(1500, '.');
  for (int i = 0; i < count; ++i)
    log.AddLine(std::string(argv[3]) + " " + kyv::test::LetterNumber(i) + " " + padding);
  return 0;
}
