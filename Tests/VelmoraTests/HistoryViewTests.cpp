#include "PanelFakes.h"
#include "ShellTestSupport.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "Velmora/History/HistoryRow.h"
#include "Velmora/History/HistoryView.h"
#include "Velmora/Panel/Widgets/PanelContent.h"
#include "Velmora/Windows/ElidedLabel.h"

#include <QAccessible>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::app;
namespace fs = std::filesystem;

namespace {

/// The settings on a home of its own, so the save folder is the test's.
class HistoryViewTest : public testing::Test {
protected:
    HistoryViewTest() {
        environment.set("HOME", home.path().string());
        environment.set("XDG_CONFIG_HOME", (home / ".config").string());
        environment.set("TZ", "Asia/Tokyo");
        settings = std::make_unique<AppSettings>(std::make_shared<DefaultsStore>());
    }

    void recording(const std::string& name, const std::string& transcript) {
        testsupport::writeFile(settings->saveDirectory() / name / "transcript.txt", transcript);
    }

    /// The view as the panel holds it: 420×560 with the panel's margins.
    void show() {
        frame = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(frame.get());
        layout->setContentsMargins(16, 16, 16, 16);
        view = new HistoryView(*settings, shell, frame.get());
        layout->addWidget(view);
        frame->setFixedSize(420, 560);
        frame->show();
        settle();
    }
    void settle() {
        QCoreApplication::processEvents();
        frame->layout()->activate();
    }
    QStringList rowTexts() const {
        QStringList texts;
        for (const HistoryRow* row : view->rows()) {
            texts << row->date() + " " + row->preview();
        }
        return texts;
    }
    void click(QWidget* target) {
        ASSERT_TRUE(target->isVisible());
        QTest::mouseClick(target, Qt::LeftButton);
        settle();
    }
    void save(const QString& name) {
        settle();
        QDir().mkpath(shelltest::screenshotDirectory());
        EXPECT_TRUE(frame->grab().save(shelltest::screenshotDirectory() + "/" + name));
    }

    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    std::unique_ptr<AppSettings> settings;
    paneltest::RecordingShell shell;
    std::unique_ptr<QWidget> frame;
    HistoryView* view = nullptr;
};

} // namespace

TEST_F(HistoryViewTest, TheListIsReadWhenItComesOnScreenAndOnRefreshNewestFirst) {
    show();
    EXPECT_TRUE(view->emptyText()->isVisible());
    EXPECT_EQ(view->emptyText()->text(), QStringLiteral("まだ文字起こしの記録がありません。"));
    EXPECT_TRUE(view->rows().empty());

    recording("2025-03-04_090507", "\n自分: 来週の打ち合わせですが、水曜の午後はいかがでしょうか。資料は前日までにお送りします。\n");
    recording("2025-03-05_141500", "相手: 了解です。\n");
    recording("2025-03-01_080000", "");
    fs::create_directories(settings->saveDirectory() / "2025-03-06_000000"); // not transcribed yet
    EXPECT_TRUE(view->rows().empty()) << "nothing reads the folder behind the user's back";
    click(view->refreshButton());
    EXPECT_FALSE(view->emptyText()->isVisible());
    EXPECT_EQ(rowTexts(), (QStringList{"2025/03/05 14:15 相手: 了解です。",
                                       "2025/03/04 09:05 自分: 来週の打ち合わせですが、水曜の午後はいかがでしょうか。資料は前日までにお送りします。",
                                       "2025/03/01 08:00 （内容なし）"}));
    // Assistive technologies hear each row's date and preview.
    QAccessibleInterface* row = QAccessible::queryAccessibleInterface(view->rows()[0]);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->role(), QAccessible::Button);
    EXPECT_EQ(row->text(QAccessible::Name), QStringLiteral("2025/03/05 14:15"));
    EXPECT_EQ(row->text(QAccessible::Description), QStringLiteral("相手: 了解です。"));
    // A long first line stays on one line, cut at its end.
    const ElidedLabel& preview = view->rows()[1]->previewLabel();
    EXPECT_TRUE(preview.shownText().endsWith(QChar(0x2026))) << preview.shownText().toStdString();
    EXPECT_EQ(preview.height(), preview.fontMetrics().height());
    save("history-list.png");

    // Hidden and shown again (the panel closing and opening): read again.
    recording("2025-03-07_100000", "自分: もう一件\n");
    frame->hide();
    frame->show();
    settle();
    EXPECT_EQ(view->rows().size(), 4u);
    EXPECT_EQ(view->rows()[0]->preview(), QStringLiteral("自分: もう一件"));
}

TEST_F(HistoryViewTest, ADetailShowsItsTranscriptCopiesItOpensItsFolderAndBackReadsTheListAgain) {
    recording("2025-03-04_090507", "自分: もしもし\n相手: はい、<b>聞こえます</b>\n");
    show();
    ASSERT_EQ(view->rows().size(), 1u);
    click(view->rows()[0]);
    ASSERT_TRUE(view->selected());
    EXPECT_FALSE(view->refreshButton()->isVisible());
    EXPECT_EQ(view->detailDate()->text(), QStringLiteral("2025/03/04 09:05"));
    EXPECT_EQ(view->detailText()->toPlainText(), QStringLiteral("自分: もしもし\n相手: はい、<b>聞こえます</b>\n"));
    EXPECT_TRUE(view->detailText()->isReadOnly());
    EXPECT_TRUE(view->copyButton()->isEnabled());
    EXPECT_EQ(view->openButton()->text(), QStringLiteral("ファイルマネージャで開く"));
    save("history-detail.png");
    click(view->copyButton());
    click(view->openButton());
    const fs::path folder = settings->saveDirectory() / "2025-03-04_090507";
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"copy 自分: もしもし\n相手: はい、<b>聞こえます</b>\n",
                                                     "open " + folder.string()}));

    // The shown transcript is the one read when the row was chosen, through hide and show too.
    testsupport::writeFile(folder / "transcript.txt", "書き換え");
    recording("2025-03-08_100000", "自分: 新しい録音\n");
    frame->hide();
    frame->show();
    settle();
    EXPECT_TRUE(view->selected());
    EXPECT_EQ(view->detailText()->toPlainText(), QStringLiteral("自分: もしもし\n相手: はい、<b>聞こえます</b>\n"));

    click(view->backButton());
    EXPECT_FALSE(view->selected());
    EXPECT_EQ(rowTexts(), (QStringList{"2025/03/08 10:00 自分: 新しい録音", "2025/03/04 09:05 書き換え"}));
}

TEST_F(HistoryViewTest, CopyIsOffOnlyForAnEmptyTranscriptAndAnUnreadableOneCopiesItsNotice) {
    recording("2025-03-02_000000", "");
    fs::create_directories(settings->saveDirectory() / "2025-03-01_000000/transcript.txt");
    show();
    ASSERT_EQ(view->rows().size(), 2u);
    EXPECT_EQ(view->rows()[1]->preview(), QString()) << "a transcript that cannot be read previews nothing";

    click(view->rows()[0]);
    EXPECT_EQ(view->detailText()->toPlainText(), QStringLiteral("（文字起こし結果が空です）"));
    EXPECT_FALSE(view->copyButton()->isEnabled());
    click(view->copyButton());
    EXPECT_TRUE(shell.calls.empty());

    click(view->backButton());
    click(view->rows()[1]);
    EXPECT_EQ(view->detailText()->toPlainText(), QStringLiteral("（文字起こしファイルを読み込めませんでした）"));
    EXPECT_TRUE(view->copyButton()->isEnabled());
    click(view->copyButton());
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"copy （文字起こしファイルを読み込めませんでした）"}));
}

TEST_F(HistoryViewTest, ThePanelsHistoryTabStartsFromTheListEachTimeItIsChosen) {
    paneltest::PanelWorld world;
    ASSERT_EQ(world.settings.saveDirectory(), settings->saveDirectory()); // made in this test's home
    recording("2025-03-04_090507", "自分: はい\n");
    auto model = world.makeModel();
    PanelContent content(*model);
    content.setFixedSize(420, 560);
    content.show();
    auto* tabs = content.findChild<QTabBar*>();
    tabs->setCurrentIndex(1);
    QCoreApplication::processEvents();
    ASSERT_NE(content.historyView(), nullptr);
    ASSERT_FALSE(content.historyView()->rows().empty());
    QTest::mouseClick(content.historyView()->rows()[0], Qt::LeftButton);
    EXPECT_TRUE(content.historyView()->selected());
    tabs->setCurrentIndex(0);
    tabs->setCurrentIndex(1);
    QCoreApplication::processEvents();
    ASSERT_NE(content.historyView(), nullptr);
    EXPECT_FALSE(content.historyView()->selected());
    EXPECT_FALSE(content.historyView()->rows().empty());
}
