#include "WindowFixture.h"

#include "engine/config/EnginePaths.h"
#include "ui/ErrorHandler.h"

#include <fstream>
#include <sys/stat.h>

namespace wk::testing {
namespace {

const char* kInit = "\\DRIVERS\\PARADOX\\INIT";

class StartupTest : public WindowTest {
protected:
    void writeConfig(const std::string& text) {
        const auto file = engine::paths::configFile();
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    std::string aliasNode() const {
        return "[\\DATABASES\\Wikabay\\DB INFO]\nPATH=" + tables_.string() + "\n";
    }
    static std::string readConfig() {
        std::ifstream in(engine::paths::configFile());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static ino_t configInode() {
        struct stat st {};
        stat(engine::paths::configFile().c_str(), &st);
        return st.st_ino;
    }
};

TEST_F(StartupTest, CreatesTheWindowsPlacesThemAndStartsTheSession) {
    makeDictionary({{"araw", "", "", "day", "", "", ""}});
    start();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(FormMenu->windowTitle(), "Wikabay");
    EXPECT_EQ(FormMenu->size(), QSize(233, 177));
    EXPECT_EQ(FormMenu->frameGeometry().topLeft(), QPoint(20, 20));
    EXPECT_EQ(FormMain->size(), QSize(442, 490));
    EXPECT_FALSE(FormMain->isVisible());
    openDictionary();
    EXPECT_EQ(FormMain->frameGeometry().topLeft(), QPoint(FormMenu->outerWidth() + 40, 20));
    EXPECT_EQ(FormMenu->VersionNumber, "1.11");
    EXPECT_TRUE(FormMenu->Timer1.isActive());
    EXPECT_TRUE(FormMenu->Session1.active());
    EXPECT_EQ(FormMenu->Session1.netFileDir(), "C:\\BdeNetDir");
    EXPECT_EQ(engine::ConfigStore().load().get(kInit, "NET DIR"), "C:\\BdeNetDir");
    EXPECT_TRUE(std::filesystem::is_directory(engine::paths::toNative("C:\\BdeNetDir")));
}

TEST_F(StartupTest, NetDirSpelledInOtherLettersIsRewrittenKeepingItsSpelling) {
    writeConfig("[\\DRIVERS\\PARADOX\\INIT]\nTYPE=FILE\nnet dir=D:\\Old\nLEVEL=4\n" + aliasNode());
    makeTable("Tagalog", kDictionaryFields, {});
    start();
    const std::string text = readConfig();
    EXPECT_NE(text.find("net dir=C:\\BdeNetDir\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("NET DIR"), std::string::npos) << text;
    EXPECT_NE(text.find("LEVEL=4"), std::string::npos);
}

TEST_F(StartupTest, NetDirAlreadyEqualIsWrittenAgain) {
    writeConfig("[\\DRIVERS\\PARADOX\\INIT]\nNET DIR=C:\\BdeNetDir\n" + aliasNode());
    const ino_t before = configInode();
    FormMenu = nullptr;
    TFormMenu menu; // runs FormCreate, and with it ChangeNetDir
    EXPECT_NE(configInode(), before);
    EXPECT_EQ(engine::ConfigStore().load().get(kInit, "NET DIR"), "C:\\BdeNetDir");
}

TEST_F(StartupTest, MissingNetDirEntryOrNodeWritesNothing) {
    for (const std::string& config :
         {"[\\DRIVERS\\PARADOX\\INIT]\nTYPE=FILE\n" + aliasNode(), aliasNode()}) {
        writeConfig(config);
        TFormMenu menu;
        EXPECT_EQ(readConfig(), config);
        EXPECT_TRUE(boxes_.empty());
    }
}

TEST_F(StartupTest, UnusableNetworkDirectoryShowsOneErrorAndStartUpGoesOn) {
    makeDictionary({});
    const auto netDir = engine::paths::toNative("C:\\BdeNetDir");
    std::filesystem::create_directories(netDir.parent_path());
    std::ofstream(netDir) << "a file where the folder should be";
    start();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].title, "Wikabay");
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(boxes_[0].text.contains("BdeNetDir")) << boxes_[0].text.toStdString();
    EXPECT_TRUE(boxes_[0].text.endsWith('.'));
    // The rest of FormCreate is skipped, and the other windows are still created.
    EXPECT_FALSE(FormMenu->Timer1.isActive());
    EXPECT_FALSE(FormMenu->Session1.active());
    ASSERT_NE(FormMain, nullptr);
}

TEST_F(StartupTest, MenuLettersOpenWindowsWithOrWithoutAlt) {
    makeDictionary({{"araw", "", "", "day", "", "", ""}});
    start();
    QTest::keyClick(FormMenu, Qt::Key_D);
    EXPECT_TRUE(FormMain->isVisible());
    FormMain->close();
    activate(FormMenu);
    QTest::keyClick(FormMenu, Qt::Key_D, Qt::AltModifier);
    settle(200); // a mnemonic presses its button with a short animation
    EXPECT_TRUE(FormMain->isVisible());
    // Escape does nothing in the menu.
    activate(FormMenu);
    QTest::keyClick(FormMenu, Qt::Key_Escape);
    EXPECT_TRUE(FormMenu->isVisible());
}

TEST_F(StartupTest, ClosingTheMenuEndsTheProgramWhileTheDictionaryIsOpen) {
    makeDictionary({{"araw", "", "", "day", "", "", ""}});
    start();
    openDictionary();
    ASSERT_TRUE(FormMain->isVisible());
    QTimer::singleShot(0, [] { FormMenu->close(); });
    const QObject limit; // goes with the test, so that its timer never ends a later test's loop
    QTimer::singleShot(5000, &limit, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST(ErrorBoxText, FullStopIsAddedAfterLettersAndDigitsOnly) {
    EXPECT_EQ(ui::errors::withFullStop("Table1: Field 'URL' not found'"),
              "Table1: Field 'URL' not found'");
    EXPECT_EQ(ui::errors::withFullStop("Field 'URL' not found"), "Field 'URL' not found.");
    EXPECT_EQ(ui::errors::withFullStop("line 12"), "line 12.");
    EXPECT_EQ(ui::errors::withFullStop("done."), "done.");
    EXPECT_EQ(ui::errors::withFullStop("stop!"), "stop!");
    EXPECT_EQ(ui::errors::withFullStop("(see above)"), "(see above)");
    EXPECT_EQ(ui::errors::withFullStop(""), "");
}

} // namespace
} // namespace wk::testing
