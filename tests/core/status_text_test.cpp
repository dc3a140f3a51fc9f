#include "core/status_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

UpdateSession::Progress WithSlot(std::int32_t kind, std::uint32_t counter, std::uint32_t count) {
    UpdateSession::Progress progress;
    progress.hasSlot = true;
    progress.kind = kind;
    progress.blockCounter = counter;
    progress.blockCount = count;
    return progress;
}

TEST(StatusText, EveryCode) {
    const UpdateSession::Progress none;
    const UpdateSession::Progress app = WithSlot(2, 12, 577);
    UpdateSession::Progress emptySlot = WithSlot(1, 0, 65);
    emptySlot.empty = 1;
    const struct {
        StatusCode code;
        const UpdateSession::Progress& progress;
        std::string text;
    } cases[] = {
        {kStatusCheckingPort, none, "Checking Comm Port for Vantrel...[Port:3]"},
        {kStatusPortOpened, none, "Open Comm Port...[Port:3] ===> OK!!"},
        {kStatusPortFailed, none, "Open Comm Port...[Port:3] ===> Fail!!"},
        {kStatusNotConnected, none, "Not connected!!"},
        {kStatusNoModules, none, "No selected modules!!"},
        {kStatusWaitBoot, none, "Wait for STB BOOT..."},
        {kStatusPreparing, none, "Preparing modules..."},
        {kStatusUpdating, none, "Updating modules..."},
        {kStatusUpdating, app, "Updating modules...[Module - SW : 12/577]"},
        {kStatusUpdating, emptySlot, "Updating modules...[Module -  : 0/65]"},
        {kStatusCleared, app, ""},
        {kStatusWriting, none, ""},
        {kStatusWriting, app, "Writing modules...[Module : SW]"},
        {kStatusComplete, none, "Complete updating successfully..."},
        {kStatusUpdateFailed, none, "Error...Update failed!"},
        // Numbers outside the codes show an empty line.
        {static_cast<StatusCode>(12), app, ""},
        {static_cast<StatusCode>(-1), app, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StatusText(c.code, 3, c.progress), c.text) << c.code;
    }
}

std::vector<std::string> UploadLines(std::uint32_t blocks) {
    UploadPercentage percentage;
    std::vector<std::string> lines;
    for (std::uint32_t counter = 0; counter <= blocks; ++counter) {
        if (auto line = percentage.Update(counter, blocks)) {
            lines.push_back(*line);
        }
    }
    return lines;
}

TEST(UploadPercentage, LogsEachPercentageOnce) {
    EXPECT_EQ(UploadLines(3),
              (std::vector<std::string>{">> Uploading... [33 %]\r\n", ">> Uploading... [66 %]\r\n",
                                        ">> Uploading... [100 %]\r\n"}));
    const std::vector<std::string> lines = UploadLines(577);
    ASSERT_EQ(lines.size(), 100u);
    EXPECT_EQ(lines.front(), ">> Uploading... [1 %]\r\n");
    EXPECT_EQ(lines.back(), ">> Uploading... [100 %]\r\n");
}

TEST(UploadPercentage, FirstLineOf577BlocksComesAtTheSixthBlock) {
    UploadPercentage percentage;
    for (std::uint32_t counter = 0; counter < 6; ++counter) {
        EXPECT_FALSE(percentage.Update(counter, 577)) << counter;
    }
    EXPECT_TRUE(percentage.Update(6, 577));
}

TEST(UploadPercentage, ResetAndZeroBlocks) {
    UploadPercentage percentage;
    EXPECT_TRUE(percentage.Update(3, 3));
    percentage.Reset();
    EXPECT_FALSE(percentage.Update(0, 3)) << "0 equals the reset value";
    EXPECT_FALSE(percentage.Update(0, 0)) << "no blocks: nothing divided, nothing logged";
    EXPECT_FALSE(percentage.Update(5, 0));
}

}  // namespace
}  // namespace vantrel
