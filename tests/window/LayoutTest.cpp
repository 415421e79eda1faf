// The shared layout: the bands at the design size, the resize rule, the minimum, the fit to a screen, and the
// control table both views create their controls from.
#include "window/Layout.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

using namespace zelo::layout;
using enum ControlId;

namespace {

bool Overlap(const Rect& a, const Rect& b) {
    return a.X < b.Right() && b.X < a.Right() && a.Y < b.Bottom() && b.Y < a.Bottom();
}

LayoutMetrics LargeFont() {
    // Roughly what a 12-point font needs: every text wider, fields taller, longer command lines.
    LayoutMetrics m;
    for (const ControlInfo& info : Controls())
        m.Text(info.Id) = static_cast<int>(info.Text.size()) * 9;
    m.FieldHeight = 30;
    m.CommandLineHeight = 20;
    m.CommandListChrome = 22;
    return m;
}

TEST(Layout, BandsAtTheDesignSize) {
    const WindowLayout layout = LayOut({DesignClientWidth, DesignClientHeight}, LayoutMetrics{});
    const struct {
        ControlId Band;
        int Height;
    } bands[] = {{DeviceSetupCaption, 33},     {DeviceSetupContainer, 72}, {GroupAddressCaption, 33},
                 {GroupAddressContainer, 183}, {ProgressCaption, 33},      {ProgressContainer, 56},
                 {CommandListCaption, 33},     {CommandList, 250},         {ButtonContainer, 41}};
    int top = 0;
    for (const auto& band : bands) {
        EXPECT_EQ(layout[band.Band], (Rect{0, top, 1016, band.Height})) << Info(band.Band).Name;
        top += band.Height;
    }
    EXPECT_EQ(top, 734);
    EXPECT_EQ(layout.Area, (Size{1016, 734}));
    const struct {
        ControlId Id;
        Rect Expected;
    } controls[] = {
        {ProgressBar, {8, 31, 1001, 17}},     {EibDptList, {479, 10, 529, 123}},
        {txtGrpAdrStart, {122, 10, 153, 22}}, {btnAdd, {564, 148, 105, 25}},
        {btnAbort, {903, 148, 105, 25}},      {btnAddAll, {451, 148, 105, 25}},
        {btnDownload, {790, 8, 105, 25}},     {btnExit, {903, 8, 105, 25}},
        {cmbDevice, {111, 8, 97, 24}},        {btnSave, {677, 8, 105, 25}},
        {btnOpen, {564, 8, 105, 25}},         {btnStop, {903, 3, 105, 25}},
        {labStatus, {8, 6, 887, 20}},         {txtPort, {948, 8, 60, 24}},
        {labPort, {909, 8, 35, 24}},          {txtHost, {747, 8, 150, 24}},
        {labHost, {703, 8, 40, 24}},          {btnMonitor, {451, 8, 105, 25}},
    };
    for (const auto& c : controls)
        EXPECT_EQ(layout[c.Id], c.Expected) << Info(c.Id).Name;
}

// The command list takes what the client area gains or loses, down to five lines; below that the laid-out
// area stays at the minimum and the client area scrolls.
TEST(Layout, ResizeRule) {
    LayoutMetrics m; // 14-pixel lines, 16 pixels of frame and scroll bar: the minimum list is 86 high
    const struct {
        Size Client;
        Size Area;
        int ListHeight;
    } cases[] = {
        {{1016, 734}, {1016, 734}, 250}, {{1016, 900}, {1016, 900}, 416}, {{1400, 734}, {1400, 734}, 250},
        {{1016, 600}, {1016, 600}, 116}, {{1016, 570}, {1016, 570}, 86},  {{1016, 569}, {1016, 570}, 86},
        {{1016, 300}, {1016, 570}, 86},  {{800, 734}, {1016, 734}, 250},  {{640, 480}, {1016, 570}, 86},
    };
    EXPECT_EQ(MinimumClientSize(m), (Size{1016, 570}));
    const WindowLayout design = LayOut({1016, 734}, m);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Client.Width) + "x" + std::to_string(c.Client.Height));
        const WindowLayout layout = LayOut(c.Client, m);
        EXPECT_EQ(layout.Area, c.Area);
        EXPECT_EQ(layout[CommandList], (Rect{0, 443, c.Area.Width, c.ListHeight}));
        EXPECT_EQ(layout[ButtonContainer], (Rect{0, c.Area.Height - 41, c.Area.Width, 41}));
        // The bottom buttons stay at the right-hand end, the gauge keeps its margins.
        EXPECT_EQ(layout[btnExit].Right(), c.Area.Width - 8);
        EXPECT_EQ(layout[btnDownload].Right(), layout[btnExit].X - 8);
        EXPECT_EQ(layout[btnSave].Right(), layout[btnDownload].X - 8);
        EXPECT_EQ(layout[btnOpen].Right(), layout[btnSave].X - 8);
        EXPECT_EQ(layout[btnMonitor].Right(), layout[btnOpen].X - 8);
        EXPECT_EQ(layout[btnStop].Right(), c.Area.Width - 8);
        EXPECT_LT(layout[labStatus].Right(), layout[btnStop].X);
        EXPECT_EQ(layout[ProgressBar].Right(), c.Area.Width - 7);
        // The other bands keep their layout.
        for (const ControlInfo& info : Controls()) {
            if (info.Parent == DeviceSetupContainer || info.Parent == GroupAddressContainer ||
                info.Parent == grpAccessType) {
                EXPECT_EQ(layout[info.Id], design[info.Id]) << info.Name;
            }
        }
        EXPECT_EQ(layout.InArea(btnExit).Bottom(), c.Area.Height - 8);
    }
    // Five lines of a larger font need more room.
    EXPECT_EQ(MinimumClientSize(LargeFont()).Height, 484 + 5 * 20 + 22);
}

// Whatever the font, every control lies inside its parent and no two siblings overlap.
TEST(Layout, ControlsFitTheirParentsWithoutOverlap) {
    LayoutMetrics longDevice;
    longDevice.DeviceListWidth = 5000;
    const struct {
        const char* Name;
        LayoutMetrics Metrics;
    } fonts[] = {{"stated sizes", LayoutMetrics{}}, {"large font", LargeFont()}, {"device path", longDevice}};
    for (const auto& font : fonts) {
        SCOPED_TRACE(font.Name);
        const Size minimum = MinimumClientSize(font.Metrics);
        const WindowLayout layout = LayOut(minimum, font.Metrics);
        for (const ControlInfo& a : Controls()) {
            const Rect rect = layout[a.Id];
            EXPECT_GT(rect.Width, 0) << a.Name;
            EXPECT_GT(rect.Height, 0) << a.Name;
            EXPECT_GE(rect.Width, font.Metrics.Text(a.Id)) << a.Name;
            const Size parent =
                a.Parent == Client ? layout.Area : Size{layout[a.Parent].Width, layout[a.Parent].Height};
            EXPECT_GE(rect.X, 0) << a.Name;
            EXPECT_GE(rect.Y, 0) << a.Name;
            EXPECT_LE(rect.Right(), parent.Width) << a.Name;
            EXPECT_LE(rect.Bottom(), parent.Height) << a.Name;
            for (const ControlInfo& b : Controls()) {
                if (a.Id < b.Id && a.Parent == b.Parent) {
                    EXPECT_FALSE(Overlap(rect, layout[b.Id])) << a.Name << " and " << b.Name;
                }
            }
        }
    }
}

TEST(Layout, DeviceListWidensForPathsAndTheBaudrateListMovesAlong) {
    const struct {
        int Wanted;
        int Width;
    } cases[] = {{0, 97}, {60, 97}, {97, 97}, {250, 250}, {348, 348}, {349, 348}, {5000, 348}};
    for (const auto& c : cases) {
        LayoutMetrics m;
        m.DeviceListWidth = c.Wanted;
        const WindowLayout layout = LayOut({1016, 734}, m);
        EXPECT_EQ(layout[cmbDevice].Width, c.Width) << c.Wanted;
        EXPECT_EQ(layout[Label7].X, layout[cmbDevice].Right() + 24) << c.Wanted;
        EXPECT_EQ(layout[cmbBaudrate].X, layout[Label7].Right()) << c.Wanted;
        // Room is kept for the TCP link's host and port at the end of the row.
        EXPECT_LE(layout[cmbBaudrate].Right() + 24, layout[labHost].X) << c.Wanted;
        // The second row does not move.
        EXPECT_EQ(layout[chkPrintSource].X, 232) << c.Wanted;
    }
}

TEST(Layout, FitToTheScreensFreeArea) {
    const Size frame{2, 30};
    const struct {
        const char* Name;
        Rect Area;
        Size Client;
        Placement Expected;
    } cases[] = {
        {"large screen: centred, unchanged", {0, 0, 1920, 1080}, {1016, 734}, {451, 158, {1016, 734}}},
        {"1366x768 at 125 %", {0, 0, 1093, 614}, {1016, 734}, {37, 0, {1016, 584}}},
        {"panel at the top", {0, 27, 1093, 587}, {1016, 734}, {37, 27, {1016, 557}}},
        {"narrow and low", {100, 50, 800, 500}, {1016, 734}, {100, 50, {798, 470}}},
        {"exactly fits", {0, 0, 1018, 764}, {1016, 734}, {0, 0, {1016, 734}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitToArea(c.Area, frame, c.Client), c.Expected) << c.Name;
    // A kept place is taken while the window, frame and all, lies in the area: inside, touching the corners.
    const std::pair<Placement, bool> kept[] = {{{100, 60, {900, 500}}, true},
                                               {{0, 27, {1091, 557}}, true},
                                               {{0, 27, {1092, 557}}, false},
                                               {{-5, 30, {900, 500}}, false}};
    for (const auto& [placement, fits] : kept)
        EXPECT_EQ(FitsArea({0, 27, 1093, 587}, frame, placement), fits) << placement.X << "," << placement.Y;
}

TEST(Layout, ControlTableAndTabOrder) {
    std::set<std::string_view> names;
    std::set<ControlId> created;
    for (const ControlInfo& info : Controls()) {
        EXPECT_TRUE(names.insert(info.Name).second) << info.Name;
        // A parent is created before its children.
        EXPECT_TRUE(info.Parent == Client || created.contains(info.Parent)) << info.Name;
        created.insert(info.Id);
        EXPECT_EQ(&Info(info.Id), &info);
    }
    EXPECT_EQ(names.size(), ControlCount);
    // Every control the user can operate is visited once, the physical address first, the command list last.
    std::set<ControlId> focusable;
    for (const ControlInfo& info : Controls())
        if (info.Kind != ControlKind::CaptionBar && info.Kind != ControlKind::Panel &&
            info.Kind != ControlKind::Label && info.Kind != ControlKind::RadioGroup &&
            info.Kind != ControlKind::StatusLabel && info.Kind != ControlKind::Gauge)
            focusable.insert(info.Id);
    const auto order = TabOrder();
    EXPECT_EQ(std::set<ControlId>(order.begin(), order.end()), focusable);
    EXPECT_EQ(order.size(), focusable.size());
    EXPECT_EQ(order.front(), txtPhyAdr);
    EXPECT_EQ(order.back(), CommandList);
    EXPECT_EQ(Info(grpAccessType2).Text, "Read && Write");
    EXPECT_EQ(Info(btnAdd).Text, "&Add");
    // The buttons of a row are visited in the order they stand, left to right.
    for (const ControlId parent : {GroupAddressContainer, ButtonContainer}) {
        std::vector<ControlId> buttons;
        for (const ControlId id : order)
            if (Info(id).Parent == parent && Info(id).Kind == ControlKind::Button)
                buttons.push_back(id);
        const WindowLayout layout = LayOut({DesignClientWidth, DesignClientHeight}, LayoutMetrics{});
        for (std::size_t i = 1; i < buttons.size(); ++i)
            EXPECT_LT(layout[buttons[i - 1]].X, layout[buttons[i]].X) << Info(buttons[i]).Name;
        EXPECT_GE(buttons.size(), 4u);
    }
}

// The keys themselves are checked where they reach the window's actions (the view's wiring tests).
TEST(Layout, Gutter) {
    // Room for the digits of the highest line number, never fewer than three.
    const struct {
        int Lines, Digit, Width;
    } gutters[] = {{0, 7, 29}, {1, 7, 29}, {999, 7, 29}, {1000, 7, 36}, {32769, 8, 48}, {100000, 7, 50}};
    for (const auto& g : gutters)
        EXPECT_EQ(GutterWidth(g.Lines, g.Digit), g.Width) << g.Lines;
}

} // namespace
