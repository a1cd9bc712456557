#include "WindowFixture.h"

#include "RecordingHost.h"
#include "ui/HelpHook.h"
#include "ui/LinkLabel.h"
#include "windows/About.h"
#include "windows/Developer.h"

#include <QPlainTextEdit>
#include <QScreen>

namespace wk::testing {
namespace {

class AboutTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        host_ = &installRecorder();
        makeDictionary({{"araw", "", "", "day", "", "", ""}});
        start();
        FormMenu->Timer1.stop(); // the start-up display has a test of its own
    }
    void openAbout() { openFromMenu(FormMenu->SpeedButton3, FormAbout); }
    RecordingHost* host_ = nullptr;
};

TEST_F(AboutTest, ShowsTheVersionCentredAndStaysWhereItWasLeft) {
    EXPECT_EQ(FormAbout->Label2->text(), "Version 1.11");
    openAbout();
    EXPECT_EQ(FormAbout->windowTitle(), "About this program");
    EXPECT_EQ(FormAbout->size(), QSize(320, 346));
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((FormAbout->frameGeometry().center() - centre).manhattanLength(), 2);
    FormAbout->move(50, 60);
    FormAbout->close();
    openAbout();
    EXPECT_EQ(FormAbout->pos(), QPoint(50, 60));
}

TEST_F(AboutTest, MemoHoldsTheNoticeAndReleaseNotesLineForLine) {
    const QStringList lines = FormAbout->Memo1->toPlainText().split(u'\n');
    EXPECT_EQ(lines.at(2), "However, software development is more ");
    EXPECT_TRUE(lines.contains(QString::fromUtf8(developer::kTownAndCountry)));
    EXPECT_EQ(lines.last(), "- Minor improvements in Wise install script.");
    const qsizetype notes = lines.indexOf("Version 1.6 - 10 November 2005");
    ASSERT_GT(notes, 0);
    EXPECT_EQ(lines.at(notes - 2), "RELEASE NOTES");
    EXPECT_EQ(lines.at(notes + 1), "");
    EXPECT_EQ(lines.at(notes + 3), "- Installation script has been changed for ");
    EXPECT_TRUE(FormAbout->Memo1->isReadOnly());
}

TEST_F(AboutTest, EscapeOkAltOAndEnterCloseButNotEnterInTheMemo) {
    openAbout();
    QTest::keyClick(FormAbout->BitBtn1, Qt::Key_Escape);
    EXPECT_FALSE(FormAbout->isVisible());
    openAbout();
    FormAbout->BitBtn1->click();
    EXPECT_FALSE(FormAbout->isVisible());
    openAbout();
    FormAbout->Memo1->setFocus();
    QTest::keyClick(FormAbout->Memo1, Qt::Key_Return);
    EXPECT_TRUE(FormAbout->isVisible());
    QTest::keyClick(FormAbout->Memo1, Qt::Key_O, Qt::AltModifier);
    // A mnemonic presses its button with a short animation.
    ASSERT_TRUE(waitFor([] { return !FormAbout->isVisible(); }, "Alt+O to close the window"));
    EXPECT_FALSE(FormAbout->isVisible());
    openAbout();
    FormAbout->BitBtn1->setFocus();
    QTest::keyClick(FormAbout->BitBtn1, Qt::Key_Return);
    EXPECT_FALSE(FormAbout->isVisible());
}

TEST_F(AboutTest, MailAndWebsiteLinksHandOverTheirAddresses) {
    openAbout();
    QTest::mouseClick(FormAbout->Label6, Qt::LeftButton);
    QTest::mouseClick(FormAbout->Label7, Qt::LeftButton);
    ASSERT_EQ(host_->opened.size(), 2u);
    EXPECT_EQ(host_->opened[0].address,
              "mailto:wikabay@example.org ?subject=I am using Wikabay Version 1.11");
    EXPECT_EQ(host_->opened[0].mode, platform::ShowMode::Normal);
    EXPECT_EQ(host_->opened[1].address, QString::fromUtf8(developer::kWebsite));
    EXPECT_EQ(host_->opened[1].mode, platform::ShowMode::Maximized);
}

TEST_F(AboutTest, BothDonateLinksBeepAskAndOpenThePageOnlyAfterTheBox) {
    openAbout();
    for (ui::LinkLabel* link : {FormMenu->Label3, FormAbout->Label9}) {
        host_->opened.clear();
        boxes_.clear();
        // Note what was handed over while the box is up, then answer it.
        size_t openedWhileBoxWasUp = 99;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() && openedWhileBoxWasUp == 99)
                openedWhileBoxWasUp = host_->opened.size();
        });
        poll.start(1);
        answeringBoxes([&] { QTest::mouseClick(link, Qt::LeftButton); });
        EXPECT_EQ(openedWhileBoxWasUp, 0u);
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].title, "Information");
        EXPECT_EQ(boxes_[0].icon, QMessageBox::Information);
        EXPECT_EQ(boxes_[0].text,
                  "Your donation would be very appreciated. Any amount will do!\nPlease click "
                  "\"OK\" and follow the instructions on the website.\n\nThank you in advance.");
        ASSERT_EQ(host_->opened.size(), 1u);
        EXPECT_EQ(host_->opened[0].address, QString::fromUtf8(developer::kDonationPage));
        EXPECT_EQ(host_->opened[0].mode, platform::ShowMode::Maximized);
    }
    EXPECT_EQ(host_->beeps, 2);
}

TEST_F(AboutTest, HelpLinkAsksForTheContentsEveryTimeAndF1DoesNothing) {
    QTest::mouseClick(FormMenu->Label1, Qt::LeftButton);
    QTest::mouseClick(FormMenu->Label1, Qt::LeftButton);
    ASSERT_EQ(host_->help.size(), 2u);
    for (const auto& call : host_->help) {
        EXPECT_EQ(call.owner, platform::applicationWindow());
        EXPECT_EQ(call.file, "wikabay_help.chm");
        EXPECT_EQ(call.command, platform::kHelpDisplayToc);
        EXPECT_EQ(call.data, 0u);
    }
    host_->help.clear();
    QTest::keyClick(FormMenu, Qt::Key_F1);
    openDictionary();
    QTest::keyClick(FormMain->Edit1, Qt::Key_F1);
    EXPECT_TRUE(host_->help.empty());
}

TEST_F(AboutTest, HelpHookSwallowsEveryRequest) {
    EXPECT_FALSE(ui::help::request(1, 0));
    EXPECT_FALSE(ui::help::request(0, 7));
    EXPECT_TRUE(host_->help.empty());
    EXPECT_FALSE(ui::help::request(0, 0));
    EXPECT_EQ(host_->help.size(), 1u);
}

class AboutAtStartTest : public WindowTest {};

TEST_F(AboutAtStartTest, AboutShowsOnceAboutOneSecondAfterStart) {
    installRecorder();
    makeDictionary({});
    start();
    EXPECT_FALSE(FormAbout->isVisible());
    EXPECT_EQ(FormMenu->Timer1.interval(), 1000);
    EXPECT_TRUE(waitFor([] { return FormAbout->isVisible(); }, "the About window after start"));
    EXPECT_TRUE(FormAbout->isVisible());
    EXPECT_EQ(FormAbout->Label2->text(), "Version 1.11");
    EXPECT_FALSE(FormMenu->Timer1.isActive());
    FormAbout->close();
    QTest::qWait(1300);
    EXPECT_FALSE(FormAbout->isVisible());
}

TEST_F(AboutTest, LinksTheSystemCannotOpenGiveAWarningNamingTheirAddress) {
    openAbout();
    host_->opens = false;
    const QString mail =
        QStringLiteral("mailto:wikabay@example.org ?subject=I am using Wikabay Version 1.11");
    answeringBoxes([this] { QTest::mouseClick(FormAbout->Label6, Qt::LeftButton); });
    answeringBoxes([this] { QTest::mouseClick(FormAbout->Label7, Qt::LeftButton); });
    answeringBoxes([this] { QTest::mouseClick(FormAbout->Label9, Qt::LeftButton); });
    ASSERT_EQ(host_->opened.size(), 3u);
    EXPECT_EQ(host_->opened[0].address, mail);
    EXPECT_EQ(host_->opened[1].address, QString::fromUtf8(developer::kWebsite));
    EXPECT_EQ(host_->opened[2].address, QString::fromUtf8(developer::kDonationPage));
    // The donation prompt comes first, then the warning.
    ASSERT_EQ(boxes_.size(), 4u);
    EXPECT_EQ(boxes_[2].title, "Information");
    const std::vector<std::pair<const BoxSeen*, QString>> warnings = {
        {&boxes_[0], mail},
        {&boxes_[1], QString::fromUtf8(developer::kWebsite)},
        {&boxes_[3], QString::fromUtf8(developer::kDonationPage)}};
    for (const auto& [box, address] : warnings) {
        EXPECT_EQ(box->title, "Wikabay");
        EXPECT_EQ(box->icon, QMessageBox::Warning);
        EXPECT_TRUE(box->text.contains(u'"' + address + u'"')) << box->text.toStdString();
        EXPECT_TRUE(box->text.contains("could not be opened")) << box->text.toStdString();
    }
}

} // namespace
} // namespace wk::testing
