#include "ShellTestSupport.h"
#include "Velmora/Label/MenuBarLabel.h"
#include "Velmora/Label/TrayLabel.h"

#include <QDir>
#include <QPainter>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::app;
using Phase = RecordingControl::Phase;

namespace {

// Points of the 28 × 28 label: the middle of the disc where the circles meet, of each badge, and the
// top left corner, which nothing covers.
const QPoint iconDisc(12, 14);
const QPoint pendingBadgeMiddle(23, 21);
const QPoint updateBadgeMiddle(24, 6);
const QPoint emptyCorner(0, 0);

QColor colorAt(const QIcon& icon, QPoint point) {
    return icon.pixmap(MenuBarLabel::side).toImage().pixelColor(point);
}

desktop::UpdateItem update() {
    return desktop::UpdateItem(*desktop::UpdateVersion::parse("9.0"), "9.0", "https://example.com/9.0");
}

} // namespace

TEST(FormattedElapsed, WholeSecondsAsUncappedMinutesAndSeconds) {
    EXPECT_EQ(formattedElapsed(0), "00:00");
    EXPECT_EQ(formattedElapsed(59.9), "00:59");
    EXPECT_EQ(formattedElapsed(61), "01:01");
    EXPECT_EQ(formattedElapsed(3600), "60:00");
    EXPECT_EQ(formattedElapsed(6000), "100:00");
    // A clock that stepped back or an unreadable time never shows a negative or garbage time.
    EXPECT_EQ(formattedElapsed(-3), "00:00");
    EXPECT_EQ(formattedElapsed(std::nan("")), "00:00");
    EXPECT_EQ(formattedElapsed(1e300), "153722867280912930:07");
}

// The picture and tooltip actually set on a tray icon, through every state of the session and store.
TEST(TrayLabel, FollowsTheSessionAndTheUpdateStore) {
    QSystemTrayIcon trayIcon;
    auto session = std::make_shared<shelltest::FakeRecordingSession>();
    UpdateAvailabilityStore updates;
    std::vector<std::pair<QString, QIcon>> shown;
    {
        TrayLabel label(trayIcon, session, updates);
        auto record = [&](const char* name) { shown.emplace_back(name, trayIcon.icon()); };

        // Idle, nothing pending, no update: the icon alone.
        EXPECT_EQ(trayIcon.toolTip(), "ベルモラ");
        EXPECT_EQ(colorAt(trayIcon.icon(), iconDisc), MenuBarLabel::iconColor);
        EXPECT_EQ(colorAt(trayIcon.icon(), pendingBadgeMiddle).alpha(), 0);
        EXPECT_EQ(colorAt(trayIcon.icon(), updateBadgeMiddle).alpha(), 0);
        EXPECT_EQ(colorAt(trayIcon.icon(), emptyCorner).alpha(), 0);
        record("idle");

        // Recording: the elapsed time; the picture is not rebuilt for each tick.
        session->set(Phase::recording, 0, 0);
        const qint64 pictureWhileRecording = trayIcon.icon().cacheKey();
        session->set(Phase::recording, 12.3, 0);
        EXPECT_EQ(trayIcon.toolTip(), "00:12");
        session->set(Phase::recording, 75, 0);
        EXPECT_EQ(trayIcon.toolTip(), "01:15");
        EXPECT_EQ(trayIcon.icon().cacheKey(), pictureWhileRecording);
        EXPECT_EQ(colorAt(trayIcon.icon(), pendingBadgeMiddle).alpha(), 0);
        record("recording");

        // Stopped with two recordings queued: no time, the pending badge until none is left.
        session->set(Phase::idle, 75, 2);
        EXPECT_EQ(trayIcon.toolTip(), "ベルモラ");
        EXPECT_EQ(colorAt(trayIcon.icon(), pendingBadgeMiddle), MenuBarLabel::pendingBadgeColor);
        session->set(Phase::idle, 75, 1);
        EXPECT_EQ(colorAt(trayIcon.icon(), pendingBadgeMiddle), MenuBarLabel::pendingBadgeColor);
        record("pending");

        // An update offered while jobs are pending: both badges.
        updates.setPendingUpdate(update());
        EXPECT_EQ(colorAt(trayIcon.icon(), updateBadgeMiddle), MenuBarLabel::updateBadgeColor);
        EXPECT_EQ(colorAt(trayIcon.icon(), pendingBadgeMiddle), MenuBarLabel::pendingBadgeColor);
        record("update-and-pending");

        // A failed start shows no time; the last job done and the update looked at: the icon alone.
        session->set(Phase::failed, 3, 0);
        updates.setPendingUpdate(std::nullopt);
        EXPECT_EQ(trayIcon.toolTip(), "ベルモラ");
        EXPECT_EQ(colorAt(trayIcon.icon(), pendingBadgeMiddle).alpha(), 0);
        EXPECT_EQ(colorAt(trayIcon.icon(), updateBadgeMiddle).alpha(), 0);
    }
    // The label lets go of the session and the store with it.
    EXPECT_EQ(session->observerCount(), 0u);
    EXPECT_EQ(updates.pendingUpdate().subscriberCount(), 0u);

    // A sheet of the states at four times their size on a dark and on a light panel, to look at.
    const int scale = 4;
    const int cell = MenuBarLabel::side * scale;
    QImage sheet(cell * int(shown.size()), cell * 2, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    for (int row = 0; row < 2; ++row) {
        painter.fillRect(0, row * cell, sheet.width(), cell, row == 0 ? QColor(40, 40, 40) : QColor(236, 236, 236));
        for (std::size_t i = 0; i < shown.size(); ++i) {
            painter.drawPixmap(QRect(int(i) * cell, row * cell, cell, cell),
                               shown[i].second.pixmap(MenuBarLabel::side));
        }
    }
    painter.end();
    EXPECT_TRUE(sheet.save(QDir(shelltest::screenshotDirectory()).filePath("label-states.png")));
}

TEST(TrayLabel, WithoutASessionShowsNoRecordingButTheUpdateBadge) {
    QSystemTrayIcon trayIcon;
    UpdateAvailabilityStore updates;
    updates.setPendingUpdate(update());
    TrayLabel label(trayIcon, nullptr, updates);
    EXPECT_EQ(trayIcon.toolTip(), "ベルモラ");
    EXPECT_EQ(colorAt(trayIcon.icon(), updateBadgeMiddle), MenuBarLabel::updateBadgeColor);
    EXPECT_EQ(colorAt(trayIcon.icon(), pendingBadgeMiddle).alpha(), 0);
}
