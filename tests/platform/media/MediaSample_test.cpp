// Tests of media samples and the bounded pool an output pin takes them from.
#include "platform/media/MediaSample.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

ComPtr<IMediaSample> Take(SamplePool& pool, long size) {
  ComPtr<IMediaSample> sample;
  EXPECT_EQ(pool.GetSample(size, sample.ReleaseAndGetAddressOf()), S_OK);
  return sample;
}

// Catches: the pool making a fresh sample for every request while downstream holds all of its
// samples, instead of waiting for one to come back; or the wait not ending on Cancel.
TEST(SamplePool, BoundedPoolWaitsForAHeldSample) {
  SamplePool pool(4);
  std::vector<ComPtr<IMediaSample>> held;
  for (int i = 0; i < 4; ++i) held.push_back(Take(pool, 1000));
  EXPECT_EQ(pool.SamplesMade(), 4);

  std::atomic<bool> got{false};
  BYTE* reusedBuffer = nullptr;
  held[2]->GetPointer(&reusedBuffer);
  BYTE* fifthBuffer = nullptr;
  std::thread waiter([&] {
    ComPtr<IMediaSample> fifth = Take(pool, 1000);
    fifth->GetPointer(&fifthBuffer);
    got = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(got.load()) << "a fifth sample was made while four are held";
  held[2].Reset();
  waiter.join();
  EXPECT_TRUE(got.load());
  EXPECT_EQ(fifthBuffer, reusedBuffer) << "the returned sample is the one handed out again";
  EXPECT_EQ(pool.SamplesMade(), 4);

  // All four held again: Cancel ends the wait with a distinct code, and the pool still works.
  held[2] = Take(pool, 1000);
  HRESULT cancelled = S_OK;
  std::atomic<bool> ended{false};
  std::thread blocked([&] {
    ComPtr<IMediaSample> none;
    cancelled = pool.GetSample(1000, none.ReleaseAndGetAddressOf());
    ended = true;
  });
  // Cancel ends the waits in progress; on a busy machine the wait may start only after a first
  // cancel, so cancel until it has ended.
  while (!ended) {
    pool.Cancel();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  blocked.join();
  EXPECT_EQ(cancelled, VFW_E_NOT_COMMITTED);
  held.clear();
  EXPECT_TRUE(Take(pool, 1000));
  EXPECT_EQ(pool.SamplesMade(), 4);
}

// Catches: a recycled sample keeping the times, flags or length of its previous use, or not
// growing for a larger request.
TEST(SamplePool, RecycledSampleIsReset) {
  SamplePool pool(1);
  {
    ComPtr<IMediaSample> s = Take(pool, 100);
    REFERENCE_TIME start = 10, end = 20;
    s->SetTime(&start, &end);
    s->SetSyncPoint(TRUE);
    s->SetActualDataLength(50);
  }
  ComPtr<IMediaSample> again = Take(pool, 400);
  REFERENCE_TIME start = 0, end = 0;
  EXPECT_EQ(again->GetTime(&start, &end), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(again->IsSyncPoint(), S_FALSE);
  EXPECT_EQ(again->GetActualDataLength(), 0);
  EXPECT_GE(again->GetSize(), 400);
  EXPECT_EQ(pool.SamplesMade(), 1);
}

}  // namespace
