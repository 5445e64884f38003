#include "writer/SampleRecording.h"

#include <memory>

#include "writer/NailsWriter.h"
#include "writer/RecordingWriter.h"

namespace kyv {

TSampleSummary WriteSampleRecording(const std::filesystem::path& path,
                                    const TSampleOptions& options,
                                    const TSampleObserver& observer) {
  TSampleGenerator generator(options);
  TRecordingWriter writer(path, static_cast<uint16_t>(options.Width),
                          static_cast<uint16_t>(options.Height), options.Version);
  TSampleSummary summary;
  std::unique_ptr<TNailsWriter> nails;
  if (options.NailInterval > 0) {
    summary.NailsDir = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    nails = std::make_unique<TNailsWriter>(summary.NailsDir, options.NailWidth);
  }

  uint64_t nextNail = 0;
  const uint64_t duration = generator.Duration();
  TSampleFrame frame;
  uint32_t time = 0;
  while (generator.NextTime(time)) {
    // A thumbnail shows every frame up to its time and none after it.
    for (; nails && nextNail <= duration && time > nextNail; nextNail += options.NailInterval)
      nails->Add(static_cast<uint32_t>(nextNail), generator.Screen());
    generator.Next(frame);
    const uint64_t offset = writer.AddFrame(frame.Header, frame.Payload);
    const uint64_t number = summary.Frames++;
    summary.PayloadBytes += frame.Payload.size();
    if (frame.Header.FrameType >= 0 && frame.Header.FrameType < 5)
      ++summary.ByType[static_cast<size_t>(frame.Header.FrameType)];
    if (!frame.Payload.empty() && frame.Header.Compression >= 0 && frame.Header.Compression < 5)
      ++summary.ByCompression[static_cast<size_t>(frame.Header.Compression)];
    if (observer) observer(number, frame, offset, generator.Screen());
  }
  for (; nails && nextNail <= duration; nextNail += options.NailInterval)
    nails->Add(static_cast<uint32_t>(nextNail), generator.Screen());

  writer.Finish();
  if (nails) {
    nails->Finish();
    summary.Nails = nails->Entries();
  }
  summary.Duration = writer.Header().Duration;
  summary.Index = writer.Index();
  summary.FileSize = TFileHeader::kSize + writer.FrameAreaSize() + TIndexHeader::kSize +
                     summary.Index.size() * writer.Header().IndexEntrySize();
  return summary;
}

}  // namespace kyv
