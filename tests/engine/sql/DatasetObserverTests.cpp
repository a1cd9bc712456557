#include "EngineFixture.h"

#include "engine/sql/Query.h"
#include "engine/storage/Session.h"

#include <functional>
#include <memory>

namespace wk::engine::test {
namespace {

using E = DatasetEvent;

/// Follows one dataset the way a data source does, and fails the test when it is called after it
/// left or after it was told the dataset is gone: with a real observer that call would go into
/// freed memory.
struct Probe : DatasetObserver {
    Dataset* dataset = nullptr; // the dataset followed; null once it left or the dataset went
    std::vector<E> events;
    int destroyedCalls = 0;
    std::function<void()> onEvent;     // run inside datasetEvent
    std::function<void()> onDestroyed; // run inside datasetDestroyed

    void follow(Dataset& d) {
        dataset = &d;
        d.addObserver(this);
    }
    void leave() {
        dataset->removeObserver(this);
        dataset = nullptr;
    }
    void datasetEvent(Dataset& d, DatasetEvent event) override {
        EXPECT_EQ(&d, dataset) << "an observer that left was told of an event";
        events.push_back(event);
        if (onEvent)
            onEvent();
    }
    void datasetDestroyed(Dataset& d) override {
        EXPECT_EQ(&d, dataset) << "an observer that left was told the dataset went";
        ++destroyedCalls;
        dataset = nullptr;
        if (onDestroyed)
            onDestroyed();
    }
};

class DatasetObserverTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        makeTable("Words", {"Word", "English"},
                  {{"isa", "one"}, {"dalawa", "two"}, {"tatlo", "three"}});
        query_ = std::make_unique<Query>();
        query_->setSessionName("Test");
        query_->setDatabaseName(kAlias);
        query_->addSql("SELECT * FROM Words");
        query_->open();
    }

    Session session_{"Test"};
    std::unique_ptr<Query> query_;
};

TEST_F(DatasetObserverTest, DatasetGoingTellsEachObserverStillRegisteredOnce) {
    Probe stays, twice, left, leavesWhenTold;
    stays.follow(*query_);
    twice.follow(*query_);
    query_->addObserver(&twice);
    left.follow(*query_);
    leavesWhenTold.follow(*query_);
    left.leave();
    // Leaving while being told is harmless.
    leavesWhenTold.onDestroyed = [&, going = query_.get()] {
        going->removeObserver(&leavesWhenTold);
    };

    query_.reset();
    for (const Probe* p : {&stays, &twice, &leavesWhenTold}) {
        EXPECT_EQ(p->destroyedCalls, 1);
        EXPECT_EQ(p->dataset, nullptr);
    }
    EXPECT_EQ(left.destroyedCalls, 0);
}

TEST_F(DatasetObserverTest, ObserversMayLeaveOrJoinWhileBeingTold) {
    Probe first, second, third, joiner;
    first.follow(*query_);
    second.follow(*query_);
    third.follow(*query_);
    // The first leaves in its handler, the second makes the third leave (as deleting another
    // data source would) and brings in a new observer.
    first.onEvent = [&] { first.leave(); };
    second.onEvent = [&] {
        if (third.dataset)
            third.leave();
        if (!joiner.dataset)
            joiner.follow(*query_);
    };

    query_->next();
    EXPECT_EQ(first.events, std::vector<E>{E::RecordMoved});
    EXPECT_EQ(second.events, std::vector<E>{E::RecordMoved});
    EXPECT_TRUE(third.events.empty()) << "left before its turn";
    EXPECT_TRUE(joiner.events.empty()) << "joined during the event";

    query_->next();
    EXPECT_EQ(first.events.size(), 1u);
    EXPECT_EQ(second.events, (std::vector<E>{E::RecordMoved, E::RecordMoved}));
    EXPECT_EQ(joiner.events, std::vector<E>{E::RecordMoved});

    // While the dataset goes, one observer makes the next one leave: that one is not told.
    second.onDestroyed = [&] { joiner.leave(); };
    query_.reset();
    EXPECT_EQ(second.destroyedCalls, 1);
    EXPECT_EQ(joiner.destroyedCalls, 0);
    EXPECT_EQ(first.destroyedCalls + third.destroyedCalls, 0);
}

} // namespace
} // namespace wk::engine::test
