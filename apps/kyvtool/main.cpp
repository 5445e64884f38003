#include <iostream>
#include <string>
#include <vector>

#include "Verbs.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kyv::tool::RunTool(args, std::cout, std::cerr);
}
