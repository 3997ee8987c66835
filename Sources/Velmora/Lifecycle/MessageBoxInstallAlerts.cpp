#include "Velmora/Lifecycle/MessageBoxInstallAlerts.h"

#include <QMessageBox>
#include <QPushButton>

namespace velmora::app {

const QString MessageBoxInstallAlerts::offerMessage = QStringLiteral("「ベルモラ」をインストールしてください");
const QString MessageBoxInstallAlerts::offerInformativeText = QStringLiteral(
    "ダウンロードした場所（展開したフォルダやリムーバブルディスク）から直接起動しています。"
    "「ホームフォルダにインストール」を押すと、~/.local/opt/velmora にコピーして起動し直します。");
const QString MessageBoxInstallAlerts::moveButton = QStringLiteral("ホームフォルダにインストール");
const QString MessageBoxInstallAlerts::laterButton = QStringLiteral("後で（このまま使う）");
const QString MessageBoxInstallAlerts::failureMessage = QStringLiteral("自動でのインストールに失敗しました");

namespace {

void showInFront(QMessageBox& box) {
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.show();
    box.raise();
    box.activateWindow();
}

} // namespace

QString MessageBoxInstallAlerts::failureInformativeText(const std::string& description) {
    return QStringLiteral("お手数ですが、このフォルダを ~/.local/opt/velmora へ手動でコピーしてから、開き直してください。（") +
           QString::fromStdString(description) + QStringLiteral("）");
}

std::unique_ptr<QMessageBox> MessageBoxInstallAlerts::makeOfferBox() {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(QStringLiteral("ベルモラ"));
    box->setText(offerMessage);
    box->setInformativeText(offerInformativeText);
    box->setTextFormat(Qt::PlainText);
    QPushButton* move = box->addButton(moveButton, QMessageBox::AcceptRole);
    box->addButton(laterButton, QMessageBox::RejectRole);
    box->setDefaultButton(move);
    return box;
}

std::unique_ptr<QMessageBox> MessageBoxInstallAlerts::makeFailureBox(const std::string& description) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowTitle(QStringLiteral("ベルモラ"));
    box->setText(failureMessage);
    box->setInformativeText(failureInformativeText(description));
    box->setTextFormat(Qt::PlainText);
    return box;
}

bool MessageBoxInstallAlerts::offerMove() {
    auto box = makeOfferBox();
    showInFront(*box);
    box->exec();
    return box->clickedButton() != nullptr && box->clickedButton()->text() == moveButton;
}

void MessageBoxInstallAlerts::showMoveFailure(const std::string& description) {
    auto box = makeFailureBox(description);
    showInFront(*box);
    box->exec();
}

} // namespace velmora::app
