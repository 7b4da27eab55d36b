// The command helpers: date and time parsing, the contact sheet's layout
// and the per-operation statistics.
#include <gtest/gtest.h>

#include "host/HostCommands.h"
#include "tests/host/HostTestSupport.h"

namespace envhost {
namespace {

TEST(HostCommands, ParsesDatesAndTimesAndRefusesTheRest) {
    SceneSpec scene;
    using Fields = std::vector<int>;
    auto fields = [&] { return Fields{scene.year, scene.month, scene.day, scene.hour, scene.minute, scene.second}; };
    EXPECT_TRUE(ParseDate("2002-10-11", &scene));
    EXPECT_TRUE(ParseTime("7:05", &scene));
    EXPECT_EQ(fields(), (Fields{2002, 10, 11, 7, 5, 0}));
    EXPECT_TRUE(ParseTime("23:59:59", &scene));
    EXPECT_EQ(fields(), (Fields{2002, 10, 11, 23, 59, 59}));
    for (const char* bad : {"2002-13-01", "2002-00-10", "2002-1-32", "2002/10/11", "2002-10-11x", ""})
        EXPECT_FALSE(ParseDate(bad, &scene)) << bad;
    for (const char* bad : {"24:00", "12:60", "12", "12:00:60", "-1:00", "12:00pm"})
        EXPECT_FALSE(ParseTime(bad, &scene)) << bad;
    // A refused text leaves the scene as it was.
    EXPECT_EQ(fields(), (Fields{2002, 10, 11, 23, 59, 59}));
}

TEST(HostCommands, ContactSheetPlacesFramesInRowsWithGaps) {
    // Five 10 x 6 frames in rows of 3: 3 x 10 + 4 gaps of 4 = 46 wide,
    // 2 x 6 + 3 gaps = 24 high; frame i starts at 4 + (i % 3) * 14.
    std::vector<PngImage> frames;
    for (int i = 0; i < 5; ++i)
        frames.push_back(PngImage(10, 6, static_cast<uint8_t>(50 * i), 200, 0));
    const PngImage sheet = ContactSheet(frames, {}, 3);
    EXPECT_EQ(sheet.width, 46);
    EXPECT_EQ(sheet.height, 24);
    EXPECT_EQ(PixelAt(sheet, 4 + 2 * 14, 4).r, 100);      // frame 2, first row
    EXPECT_EQ(PixelAt(sheet, 4 + 1 * 14 + 9, 14).r, 200); // frame 4, second row, its last column
    EXPECT_EQ(PixelAt(sheet, 2, 2).g, 24);                // the background between frames
    EXPECT_EQ(PixelAt(sheet, 4 + 2 * 14, 14).g, 24);      // no sixth frame
    EXPECT_EQ(ContactSheet({}, {}, 3).width, 0);
    // A label darkens its corner and writes in white.
    const PngImage labelled = ContactSheet({PngImage(60, 20, 0, 0, 200)}, {"12:00"}, 6);
    int white = 0;
    for (int y = 4; y < 24; ++y)
        for (int x = 4; x < 64; ++x)
            white += PixelAt(labelled, x, y).r == 255 ? 1 : 0;
    EXPECT_GT(white, 20);
}

TEST(HostCommands, StatisticsGiveMedianAndMaximumInMilliseconds) {
    std::vector<FrameTimes> frames(4);
    const double updates[4] = {0.004, 0.001, 0.002, 0.010};
    for (int i = 0; i < 4; ++i)
        frames[i].update = updates[i];
    const std::string text = FormatStats(frames);
    // Median of 1, 2, 4 and 10 ms is 3 ms; the maximum 10 ms.
    EXPECT_NE(text.find("Update              3.000      10.000"), std::string::npos) << text;
    EXPECT_NE(text.find("DrawLensFlare"), std::string::npos);
    EXPECT_NE(text.find("(4 frames)"), std::string::npos);
    EXPECT_EQ(FormatStats({}), "no frames drawn\n");
}

} // namespace
} // namespace envhost
