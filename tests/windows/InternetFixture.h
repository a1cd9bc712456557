#pragma once

// The links window over a real Internet.db, with the host system replaced by a recorder.

#include "WindowFixture.h"

#include "RecordingHost.h"
#include "common/PlainSqlite.h"
#include "windows/Internet.h"

namespace wk::testing {

inline const std::vector<std::string> kFields = {"Name", "Description", "URL"};

class InternetTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        host_ = &installRecorder();
        setAlias();
    }
    void startWith(const Rows& rows) {
        makeTable("Internet", kFields, rows);
        start();
    }
    void open() { openFromMenu(FormMenu->SpeedButton4, FormInternet); }
    void goTo() {
        FormInternet->BitBtn1->click();
        processDueEvents();
    }
    std::vector<std::string> storedDescriptions() {
        return storedField("Internet.db", "Description");
    }
    void typeDescription(const QString& text) {
        FormInternet->DBMemo1->setFocus();
        FormInternet->DBMemo1->moveCursor(QTextCursor::End);
        typeText(FormInternet->DBMemo1, text);
    }

    RecordingHost* host_ = nullptr;
};

inline const Rows kSites = {
    {"Commission", "The language commission.", "https://kwf.gov.ph/"},
    {"Wikipedia", "The encyclopedia in Tagalog.", "https://tl.wikipedia.org/"},
    {"Old style", "Written without a scheme.", "www.example.org/tagalog"},
};

} // namespace wk::testing
