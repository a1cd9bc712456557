// A dataset, its data source and the data-aware controls going in any order: whichever goes
// first, the others show nothing and never call into it.

#include "WindowFixture.h"

#include "engine/sql/Query.h"
#include "engine/storage/Session.h"
#include "ui/DBNavigator.h"
#include "ui/DataSource.h"

#include <QSignalSpy>
#include <QToolButton>

#include <cstddef>
#include <cstring>
#include <new>

namespace wk::testing {
namespace {

/// Holds a T in storage of its own and fills that storage with a pattern once the T is
/// destroyed, so that a call through a pointer left to it crashes at once rather than reading
/// what happens to be there.
template <typename T> class Poisoned {
public:
    template <typename... Args> explicit Poisoned(Args&&... args) {
        new (storage_) T(std::forward<Args>(args)...);
    }
    ~Poisoned() { destroy(); }
    Poisoned(const Poisoned&) = delete;
    Poisoned& operator=(const Poisoned&) = delete;

    T& operator*() { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T* operator->() { return &**this; }

    void destroy() {
        if (!alive_)
            return;
        alive_ = false;
        (**this).~T();
        std::memset(storage_, 0xA5, sizeof storage_);
    }

private:
    alignas(T) std::byte storage_[sizeof(T)];
    bool alive_ = true;
};

/// A window's worth of data-aware controls on one data source, shown.
struct Controls {
    explicit Controls(ui::DataSource& source)
        : grid(new ui::DBGrid(source, {{QStringLiteral("Word"), QStringLiteral("Word"), 80}},
                              &host)),
          navigator(new ui::DBNavigator(source, &host)),
          edit(new ui::DBEdit(source, QStringLiteral("English"), &host)),
          memo(new ui::DBMemo(source, QStringLiteral("English"), &host)) {
        grid->setGeometry(0, 0, 200, 100);
        navigator->setGeometry(0, 100, 128, 25);
        edit->setGeometry(0, 130, 200, 21);
        memo->setGeometry(0, 160, 200, 60);
        host.resize(200, 220);
        host.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&host));
    }

    /// Paints everything, uses the keys a user would, and checks that nothing is shown.
    void expectEmpty() {
        (void)host.grab();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_End);
        EXPECT_EQ(grid->model()->rowCount(), 0);
        EXPECT_EQ(grid->currentRowText(), QString());
        EXPECT_EQ(edit->text(), QString());
        EXPECT_EQ(memo->toPlainText(), QString());
        for (QToolButton* b : {navigator->firstButton(), navigator->priorButton(),
                               navigator->nextButton(), navigator->lastButton()})
            EXPECT_FALSE(b->isEnabled());
    }

    QWidget host;
    ui::DBGrid* grid;
    ui::DBNavigator* navigator;
    ui::DBEdit* edit;
    ui::DBMemo* memo;
};

class DataSourceTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        setAlias();
        makeTable("Words", {"Word", "English"},
                  {{"isa", "one"}, {"dalawa", "two"}, {"tatlo", "three"}});
        session_.addPassword(TFormMenu::kTablePassword);
    }

    static void openWords(engine::Query& q) {
        q.setSessionName("Test");
        q.setDatabaseName("Wikabay");
        q.addSql("SELECT * FROM Words");
        q.open();
    }

    engine::Session session_{"Test"};
};

TEST_F(DataSourceTest, DatasetGoingFirstLeavesTheControlsEmpty) {
    Poisoned<engine::Query> query;
    openWords(*query);
    Poisoned<ui::DataSource> source(*query);
    Controls controls(*source);
    controls.grid->selectRow(1);
    ASSERT_EQ(controls.grid->model()->rowCount(), 3);
    ASSERT_EQ(controls.edit->text(), "two");
    ASSERT_TRUE(controls.navigator->lastButton()->isEnabled());
    QSignalSpy resets(controls.grid->model(), &QAbstractItemModel::modelReset);

    query.destroy();
    EXPECT_EQ(source->dataset(), nullptr);
    EXPECT_EQ(resets.count(), 1) << "the grid reads its rows again";
    controls.expectEmpty();

    // The data source goes next, while its controls stay.
    source.destroy();
    controls.expectEmpty();
}

TEST_F(DataSourceTest, DataSourceGoingFirstLeavesTheDatasetAndEmptiesTheControls) {
    engine::Query query;
    openWords(query);
    Poisoned<ui::DataSource> source(query);
    Controls controls(*source);
    ASSERT_EQ(controls.edit->text(), "one");

    source.destroy();
    controls.expectEmpty();
    // The dataset goes on without it, and goes at the end of the test, telling nobody.
    query.next();
    query.close();
    query.open();
    controls.expectEmpty();
}

} // namespace
} // namespace wk::testing
