#pragma once

#include <exception>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kyv::tool {

// Exit statuses of every verb.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBad = 1;    // the file is not sound, or could not be read or written
inline constexpr int kExitUsage = 2;  // the command line is wrong

// Each verb takes the arguments after its name, writes its report to out and its complaints to
// err, and returns the exit status.
int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunMakeSample(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunPlay(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunNails(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunTypelib(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRegister(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunUnregister(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A whole decimal number, or nothing.
std::optional<int> ParseInt(const std::string& text);

// The whole command line without the program name.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
void PrintUsage(std::ostream& out);

// "error CODE: TEXT" for a failure of the container checks, else its message.
std::string DescribeHeadError(const std::exception& error);

// Names of frame types and compression kinds as the reports print them.
const char* FrameTypeName(int type);
const char* CompressionName(int kind);

}  // namespace kyv::tool
