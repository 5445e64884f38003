#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "store/FrameRecord.h"
#include "store/RecordBuffer.h"
#include "store/ScopedLock.h"

namespace kyv {

// The queue of frame records between the reader threads, which append, and the play thread,
// which peeks, seeks and discards. Records stay in arrival order (ascending Time within one
// source); the buffer owns them and frees them when it removes them.
//
// Every member but IsFull and the counter getters takes the list lock for its whole duration.
// The lock is recursive, because the play thread holds it (Lock, or TGuard) across a replay of
// buffered frames and calls the members meanwhile; readers then wait to append.
//
// Lock order when nested (play thread): frames buffer, decoder, key-frame buffer, back buffer.
class TFramesBuffer {
 public:
  using TGuard = TScopedLock<TFramesBuffer>;

  // The read-ahead limit: IsFull holds from this many bytes and key frames on.
  static constexpr int64_t kFullBytes = 5'242'880;
  static constexpr int32_t kFullKeyFrames = 3;

  TFramesBuffer();
  // Frees the records still held.
  ~TFramesBuffer();
  TFramesBuffer(const TFramesBuffer&) = delete;
  TFramesBuffer& operator=(const TFramesBuffer&) = delete;

  // Reader threads: appends Frame, which the buffer now owns, and returns its list index.
  // Raises EKyvError for an empty record.
  int32_t Add(TFrameRecord Frame);

  // Play thread: the index of the record whose Time equals T. When the first two records both
  // carry T the answer is 1, otherwise the first record carrying T. Unless Exact, a T strictly
  // between two records is lowered to the earlier one's Time and that record's index is
  // returned. -1 when there is no such record, when T lies after the last record, and when the
  // only record does not carry T exactly.
  int32_t IndexOfTime(uint32_t& T, bool Exact);

  // Any thread, without the lock: kFullBytes held and at least kFullKeyFrames key frames.
  bool IsFull() const noexcept;

  // Play thread, and live readers keeping their budget: frees every record before the key frame
  // at or before the start (the last record when ToEnd, else CurrentIndex). That key frame
  // survives; without one nothing is freed. CurrentIndex becomes -1 when ToEnd, else keeps
  // pointing at the same record. Costs what it frees, not the length of the list.
  void DiscardPlayed(bool ToEnd);

  // Any thread: the list index of the last key frame; -1 when none.
  int32_t LastKeyFrameIndex() const;
  // Any thread, without the lock: counts the clears and discards to the end, which move
  // CurrentIndex back to -1. The play thread compares it around a record it holds, so that a
  // reader trimming meanwhile cannot make it draw a record out of order.
  uint64_t Cuts() const noexcept { return FCuts.load(std::memory_order_acquire); }

  // Any thread: frees every record; counters 0, CurrentIndex -1.
  void Clear();

  // Any thread: the Time of the first / last record, 0 when empty.
  uint32_t FirstTime() const;
  uint32_t LastTime() const;
  // Any thread: the number of records in the list.
  int32_t Count() const;

  // Play thread: copies the record after CurrentIndex into Buf (which grows only when the
  // record is larger than its block) and returns true; false, with Buf unchanged, when no record
  // follows CurrentIndex. CurrentIndex itself is not changed.
  bool PeekNext(TRecordBuffer& Buf);

  // Any thread: writes one line per record, ended by CR LF: the list index, ",", the Time, and
  // ",Key" for key frames. Replaces any file of that name; raises EKyvError when it cannot.
  void SaveToFile(const std::string& FileName) const;

  // The list index of the record most recently handed to the picture; -1 when none. Only the
  // play thread sets it (Clear and DiscardPlayed change it too, under the lock); any thread may
  // read it.
  int32_t CurrentIndex() const noexcept { return FCurrentIndex.load(std::memory_order_acquire); }
  void SetCurrentIndex(int32_t Index);

  // Any thread, without the lock: counters that always describe the list as of the last
  // completed operation.
  int32_t FrameCount() const noexcept { return FFrameCount.load(std::memory_order_acquire); }
  int32_t KeyFrameCount() const noexcept { return FKeyFrameCount.load(std::memory_order_acquire); }
  int64_t TotalBytes() const noexcept { return FTotalBytes.load(std::memory_order_acquire); }

  // The list lock, for a caller that works through several records at once.
  void Lock() const { FLock.lock(); }
  void Unlock() const { FLock.unlock(); }
  // Caller holds the lock: the record at Index (EAssertionFailed when out of range). The view is
  // valid until the lock is released.
  TFrameView Items(int32_t Index) const;

 private:
  void RemoveFirst(size_t Count);
  // FLock held: the index of the last key frame at or before Index; -1 when none.
  int32_t KeyFrameAtOrBefore(int32_t Index) const;

  mutable std::recursive_mutex FLock;
  // A deque, so that freeing the oldest records costs what they are, not what stays.
  std::deque<TFrameRecord> FList;  // guarded by FLock
  // Guarded by FLock: the running number of FList's first record since the buffer was made, and
  // the running numbers of the key frames held, oldest first.
  uint64_t FFirstNumber = 0;
  std::deque<uint64_t> FKeyNumbers;

  // Changed only under FLock, together with FList; atomic so that IsFull and the status window
  // can read them without it.
  std::atomic<int32_t> FFrameCount{0};
  std::atomic<int32_t> FKeyFrameCount{0};
  std::atomic<int64_t> FTotalBytes{0};
  std::atomic<int32_t> FCurrentIndex{-1};
  std::atomic<uint64_t> FCuts{0};
};

}  // namespace kyv
