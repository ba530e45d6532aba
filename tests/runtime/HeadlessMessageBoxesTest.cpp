#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "runtime/headless/HeadlessMessageBoxes.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace runtime::ui {
namespace {

MessageBoxRequest Box(std::string caption, std::uint32_t buttons, std::uint32_t defaultButton) {
  return {std::move(caption), "text", Icon::Exclamation, buttons, defaultButton};
}

class HeadlessMessageBoxesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes.OnUnscripted([this](const MessageBoxRequest& request) { unscripted.push_back(request.caption); });
    boxes.OnBadAnswer(
        [this](const MessageBoxRequest& request, std::uint32_t) { badAnswers.push_back(request.caption); });
  }

  InstalledHeadlessMessageBoxes boxes;
  std::vector<std::string> unscripted;
  std::vector<std::string> badAnswers;
};

TEST_F(HeadlessMessageBoxesTest, AnswersInScriptOrderAndRecordsEveryRequest) {
  boxes.Script(ButtonNo);
  boxes.Script({ButtonCancel, ButtonOk});

  EXPECT_EQ(ShowMessage(Box("first", ButtonYes | ButtonNo, ButtonYes)), ButtonNo);
  EXPECT_EQ(ShowMessage(Box("second", ButtonYes | ButtonNo | ButtonCancel, ButtonYes)), ButtonCancel);
  EXPECT_EQ(boxes.Unanswered(), 1u);
  EXPECT_EQ(ShowMessage(Box("third", ButtonOk, ButtonOk)), ButtonOk);

  const auto requests = boxes.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].caption, "first");
  EXPECT_EQ(requests[1].buttons, ButtonYes | ButtonNo | ButtonCancel);
  EXPECT_EQ(requests[2].caption, "third");
  EXPECT_TRUE(unscripted.empty());
  EXPECT_TRUE(badAnswers.empty());
}

TEST_F(HeadlessMessageBoxesTest, UnscriptedRequestIsReportedAndGetsItsDefault) {
  EXPECT_EQ(ShowMessage(Box("lonely", ButtonYes | ButtonNo, ButtonNo)), ButtonNo);

  EXPECT_EQ(unscripted, std::vector<std::string>{"lonely"});
  EXPECT_EQ(boxes.Requests().size(), 1u);
}

TEST_F(HeadlessMessageBoxesTest, AnswerTheBoxDoesNotOfferIsReported) {
  boxes.Script({ButtonYes, ButtonYes | ButtonNo});

  EXPECT_EQ(ShowMessage(Box("ok only", ButtonOk, ButtonOk)), ButtonYes);
  EXPECT_EQ(ShowMessage(Box("two at once", ButtonYes | ButtonNo, ButtonYes)), ButtonYes | ButtonNo);

  EXPECT_EQ(badAnswers, (std::vector<std::string>{"ok only", "two at once"}));
}

TEST_F(HeadlessMessageBoxesTest, InstallerRestoresTheServiceItReplaced) {
  {
    InstalledHeadlessMessageBoxes inner;
    inner.Script(ButtonRetry);
    EXPECT_EQ(ShowMessage(Box("inner", ButtonRetry | ButtonCancel, ButtonCancel)), ButtonRetry);
  }
  boxes.Script(ButtonIgnore);
  EXPECT_EQ(ShowMessage(Box("outer", ButtonIgnore | ButtonAbort, ButtonAbort)), ButtonIgnore);
  ASSERT_EQ(boxes.Requests().size(), 1u);
  EXPECT_EQ(boxes.Requests()[0].caption, "outer");
}

TEST_F(HeadlessMessageBoxesTest, RequestsFromSeveralThreadsTakeEachAnswerOnce) {
  constexpr int kThreads = 4;
  constexpr int kEach = 250;
  for (int i = 0; i < kThreads * kEach; ++i) boxes.Script(i % 2 == 0 ? ButtonYes : ButtonNo);

  std::vector<int> yes(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &yes] {
      for (int i = 0; i < kEach; ++i) {
        if (ShowMessage(Box("thread", ButtonYes | ButtonNo, ButtonYes)) == ButtonYes) ++yes[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  int totalYes = 0;
  for (int count : yes) totalYes += count;
  EXPECT_EQ(totalYes, kThreads * kEach / 2);
  EXPECT_EQ(boxes.Requests().size(), static_cast<std::size_t>(kThreads * kEach));
  EXPECT_EQ(boxes.Unanswered(), 0u);
  EXPECT_TRUE(unscripted.empty());
}

}  // namespace
}  // namespace runtime::ui
