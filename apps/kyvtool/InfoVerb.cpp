#include <array>
#include <cstdio>
#include <iomanip>

#include "Verbs.h"
#include "platform/Errors.h"
#include "platform/FormatSeconds.h"
#include "writer/RecordingFile.h"

namespace kyv::tool {

namespace {

std::string Hex16(int16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(static_cast<uint16_t>(value)));
  return text;
}

}  // namespace

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1 || args[0].starts_with("--")) {
    err << "kyvtool info: expected exactly one FILE (see kyvtool --help)\n";
    return kExitUsage;
  }
  const std::string& path = args[0];
  TRecordingFile file(path);
  TRecordingHead head;
  try {
    head = file.ReadHead();
  } catch (const EKyvError& e) {
    err << "kyvtool info: " << path << ": " << DescribeHeadError(e) << "\n";
    return kExitBad;
  }
  const TFileHeader& header = head.Header;
  const int64_t frameArea = header.IndexOffset;
  const uint32_t duration = header.Duration;
  out << "File: " << path << " (" << file.Size() << " bytes)\n";
  out << "Version: " << Hex16(header.Version) << "\n";
  out << "Screen: " << header.Width << " x " << header.Height << "\n";
  out << "Duration: " << FormatSeconds(duration / 1000) << " (" << duration << " ms)\n";
  out << "Frame area: " << frameArea << " bytes\n";
  out << "Index: " << head.Index.size() << " entries of " << header.IndexEntrySize() << " bytes";
  if (!head.Index.empty())
    out << ", first " << head.Index.front().Time << " ms, last " << head.Index.back().Time << " ms";
  out << "\n";

  std::array<uint64_t, 6> byType{};         // the last one counts other values
  std::array<uint64_t, 6> byCompression{};  // records with a payload only
  uint64_t frames = 0, payloadBytes = 0;
  std::string failure;
  try {
    TFrameWalker walker(file, static_cast<uint64_t>(frameArea));
    TWalkedRecord record;
    while (walker.Next(record)) {
      ++frames;
      const int type = record.Header.FrameType, kind = record.Header.Compression;
      ++byType[type >= 0 && type < 5 ? type : 5];
      if (record.Header.DataSize > 0) ++byCompression[kind >= 0 && kind < 5 ? kind : 5];
      payloadBytes += record.Header.DataSize;
    }
  } catch (const EKyvError& e) {
    failure = e.Message();
  }

  out << "Frames: " << frames << "\n";
  for (int type = 0; type < 6; ++type)
    if (type < 5 || byType[type] > 0)
      out << "  " << std::left << std::setw(12) << FrameTypeName(type) << std::right
          << std::setw(10) << byType[type] << "\n";
  out << "Payloads by compression:\n";
  for (int kind = 0; kind < 6; ++kind)
    if (kind < 5 || byCompression[kind] > 0)
      out << "  " << std::left << std::setw(12) << CompressionName(kind) << std::right
          << std::setw(10) << byCompression[kind] << "\n";
  out << "Payload bytes: " << payloadBytes << "\n";
  if (!failure.empty()) {
    err << "kyvtool info: " << path << ": " << failure << "\n";
    return kExitBad;
  }
  return kExitOk;
}

}  // namespace kyv::tool
