// The links window's Go to with addresses that are refused or that the system cannot open.

#include "InternetFixture.h"

#include <QScreen>

namespace wk::testing {
namespace {

class InternetAddressTest : public InternetTest {
protected:
    struct ShownBox {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QRect frame;  ///< where the box was, its frame included
        QRect screen; ///< the part of its screen that windows may use
    };

    /// Clicks Go to; every message box it raises is noted and closed with OK.
    std::vector<ShownBox> goToClosingBoxes() {
        std::vector<ShownBox> shown;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&shown] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            // The box may put invisible break opportunities into a long stretch without any.
            const QString text = QString(box->text()).remove(QChar(0x200B));
            shown.push_back({box->windowTitle(), text, box->icon(), box->frameGeometry(),
                             box->screen()->availableGeometry()});
            box->button(QMessageBox::Ok)->click();
        });
        look.start(10);
        goTo();
        return shown;
    }

    static void expectOnScreen(const ShownBox& box) {
        EXPECT_LE(box.frame.width(), box.screen.width());
        EXPECT_LE(box.frame.height(), box.screen.height());
    }
};

TEST_F(InternetAddressTest, AddressWithoutAHostNameIsRefusedWithABoxSayingSo) {
    startWith({{"Dash", "", "http://-e"}, {"Empty", "", "https://?x"}, {"Dash", "", "www.-x"}});
    open();
    for (const char* url : {"http://-e", "https://?x", "www.-x"}) {
        const std::vector<ShownBox> shown = goToClosingBoxes();
        ASSERT_EQ(shown.size(), 1u) << url;
        EXPECT_EQ(shown[0].title, "Wikabay");
        EXPECT_EQ(shown[0].icon, QMessageBox::Information);
        EXPECT_TRUE(shown[0].text.contains(u'"' + QString::fromUtf8(url) + u'"'))
            << shown[0].text.toStdString();
        EXPECT_TRUE(shown[0].text.contains("host name")) << shown[0].text.toStdString();
        EXPECT_TRUE(shown[0].text.contains("not opened")) << shown[0].text.toStdString();
        FormInternet->Table1.next();
    }
    EXPECT_TRUE(host_->opened.empty());
}

TEST_F(InternetAddressTest, MailAddressAskingForAnAttachmentIsRefusedWithABoxSayingSo) {
    startWith({{"Mail", "", "mailto:someone@example.com?subject=Hi&%61ttach=/etc/passwd"}});
    open();
    const std::vector<ShownBox> shown = goToClosingBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, QMessageBox::Information);
    EXPECT_TRUE(shown[0].text.contains("someone@example.com?subject=Hi&%61ttach=/etc/passwd"));
    EXPECT_TRUE(shown[0].text.contains("attach a file")) << shown[0].text.toStdString();
    EXPECT_TRUE(host_->opened.empty());
}

TEST_F(InternetAddressTest, OverlongAddressIsRefusedWithABoxThatShowsItsStartAndFitsTheScreen) {
    const QString url = QStringLiteral("https://example.org/") + QString(4980, u'a');
    ASSERT_EQ(url.size(), 5000);
    startWith({{"Long", "", url.toStdString()}});
    open();
    const std::vector<ShownBox> shown = goToClosingBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, QMessageBox::Information);
    EXPECT_TRUE(shown[0].text.contains(url.left(200) + u'\u2026'));
    EXPECT_FALSE(shown[0].text.contains(url.left(201)));
    EXPECT_LT(shown[0].text.size(), 400);
    EXPECT_TRUE(shown[0].text.contains("5,000 characters")) << shown[0].text.toStdString();
    expectOnScreen(shown[0]);
    EXPECT_TRUE(host_->opened.empty());
}

TEST_F(InternetAddressTest, AddressTheSystemCannotOpenGivesAWarningNamingIt) {
    const QString longest = QStringLiteral("https://example.org/") + QString(2028, u'b');
    startWith({kSites[0], {"Longest", "", longest.toStdString()}});
    open();
    host_->opens = false;
    std::vector<ShownBox> shown = goToClosingBoxes();
    ASSERT_EQ(host_->opened.size(), 1u); // handed over, and the system said it failed
    EXPECT_EQ(host_->opened[0].address, "https://kwf.gov.ph/");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "Wikabay");
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(shown[0].text.contains("\"https://kwf.gov.ph/\"")) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.contains("could not be opened")) << shown[0].text.toStdString();
    // The longest address that is handed over is named by its first 200 characters.
    FormInternet->Table1.next();
    shown = goToClosingBoxes();
    ASSERT_EQ(host_->opened.size(), 2u);
    EXPECT_EQ(host_->opened[1].address, longest);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(shown[0].text.contains(longest.left(200) + u'\u2026'));
    EXPECT_FALSE(shown[0].text.contains(longest.left(201)));
    expectOnScreen(shown[0]);
}

/// Another program holding the table file for writing: nothing can be written to it meanwhile.

} // namespace
} // namespace wk::testing
