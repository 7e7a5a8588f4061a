// Readers used from several threads at once, through the reader-handle functions:
// eight threads each open a recording, read everything and close it, on eight
// files and all on the same file, and each must get exactly the answers a single
// thread gets. Run under ThreadSanitizer (make tsan-test), any race is a failure.
#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "KVDataReaderLib.h"
#include "testkit/RecordingWriter.h"
#include "testkit/SampleRecording.h"
#include "testkit/TempDir.h"
#include "tests/abi/ReadEverything.h"

namespace Korvane::DataReader {
namespace {

constexpr int kThreads = 8;
constexpr int kRounds = 2;

struct ThreadResult {
  std::vector<AbiTest::ReadTranscript> transcripts;
  int32_t lastStatus = -1;  // KVGetLastStatus after the thread's own failing call
  int32_t expectedStatus = 0;
};

class ConcurrentReaders : public ::testing::Test {
 protected:
  // Even files plain, odd ones zip-packaged (each unpacks into its own directory).
  static void SetUpTestSuite() {
    directory_ = new TestKit::TempDir;
    TestKit::SampleRecordingContents contents = TestKit::SampleRecording();
    for (int k = 0; k < kThreads; ++k) {
      contents.recording.zipPackaged = k % 2 == 1;
      paths_.push_back(directory_->File("rec" + std::to_string(k) + (k % 2 == 1 ? ".kxz" : ".kvd")));
      TestKit::WriteRecording(paths_.back(), contents.recording);
    }
  }
  static void TearDownTestSuite() {
    delete directory_;
    directory_ = nullptr;
    paths_.clear();
  }

  // What one thread alone reads from the file.
  static AbiTest::ReadTranscript ReadAlone(const std::string& path) {
    KVReaderHandle reader = nullptr;
    EXPECT_EQ(KVICreateReader(&reader), KVOk);
    AbiTest::ReadTranscript transcript = AbiTest::ReadEverything(reader, path);
    KVIDestroyReader(reader);
    return transcript;
  }

  // Thread k reads file pathFor(k) kRounds times with a reader of its own, all
  // threads starting together; then it makes a call that fails in a way of its
  // own and reads its last status back.
  template <class PathFor>
  static std::vector<ThreadResult> ReadConcurrently(PathFor pathFor) {
    std::vector<ThreadResult> results(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k) {
      threads.emplace_back([&, k] {
        ThreadResult& result = results[static_cast<size_t>(k)];
        KVReaderHandle reader = nullptr;
        if (KVICreateReader(&reader) != KVOk) return;
        start.arrive_and_wait();
        for (int round = 0; round < kRounds; ++round) {
          result.transcripts.push_back(AbiTest::ReadEverything(reader, pathFor(k)));
        }
        if (k % 2 == 0) {
          result.expectedStatus = KVCannotOpenFile;
          KVFileInfo info{};
          KVIOpenDataFile(reader, (pathFor(k) + ".missing" + std::to_string(k)).c_str(), &info);
        } else {
          result.expectedStatus = KVInvalidReaderHandle;
          KVIDestroyReader(nullptr);
        }
        char message[256];
        int32_t size = sizeof message;
        KVGetLastStatus(&result.lastStatus, message, &size);
        KVIDestroyReader(reader);
      });
    }
    for (std::thread& thread : threads) thread.join();
    return results;
  }

  static void ExpectSame(const std::vector<ThreadResult>& results, const std::vector<AbiTest::ReadTranscript>& alone,
                         bool sameFile) {
    for (int k = 0; k < kThreads; ++k) {
      SCOPED_TRACE("thread " + std::to_string(k));
      const ThreadResult& result = results[static_cast<size_t>(k)];
      const AbiTest::ReadTranscript& expected = alone[sameFile ? 0 : static_cast<size_t>(k)];
      ASSERT_EQ(result.transcripts.size(), size_t{kRounds});
      for (const AbiTest::ReadTranscript& transcript : result.transcripts) {
        EXPECT_EQ(transcript.openStatus, KVOk);
        EXPECT_EQ(transcript.calls, expected.calls);
        EXPECT_TRUE(transcript.answers == expected.answers)
            << "answers differ (" << transcript.answers.size() << " and " << expected.answers.size() << " bytes)";
      }
      EXPECT_EQ(result.lastStatus, result.expectedStatus);
    }
  }

  static TestKit::TempDir* directory_;
  static std::vector<std::string> paths_;
};

TestKit::TempDir* ConcurrentReaders::directory_ = nullptr;
std::vector<std::string> ConcurrentReaders::paths_;

TEST_F(ConcurrentReaders, SingleThreadReadAnswersEveryQuery) {
  const AbiTest::ReadTranscript plain = ReadAlone(paths_[0]);
  ASSERT_EQ(plain.openStatus, KVOk);
  // Every list, sample window, reduced window, event and table cell was asked
  // for and answered; the zip-packaged form answers the same.
  EXPECT_GT(plain.calls, 400);
  EXPECT_EQ(plain.statuses, (std::set<KVStatus>{KVOk}));
  const AbiTest::ReadTranscript zipped = ReadAlone(paths_[1]);
  EXPECT_EQ(zipped.calls, plain.calls);
  EXPECT_TRUE(zipped.answers == plain.answers);
}

TEST_F(ConcurrentReaders, EightThreadsOnEightFiles) {
  std::vector<AbiTest::ReadTranscript> alone;
  for (const std::string& path : paths_) alone.push_back(ReadAlone(path));
  ExpectSame(ReadConcurrently([](int k) { return paths_[static_cast<size_t>(k)]; }), alone, false);
}

TEST_F(ConcurrentReaders, EightThreadsOnOneFile) {
  for (size_t file : {size_t{0}, size_t{1}}) {
    SCOPED_TRACE(paths_[file]);
    const std::vector<AbiTest::ReadTranscript> alone = {ReadAlone(paths_[file])};
    ExpectSame(ReadConcurrently([file](int) { return paths_[file]; }), alone, true);
  }
}

}  // namespace
}  // namespace Korvane::DataReader
